// SPDX-License-Identifier: MIT
// The main window over a directory of 100,000 files: loading the file list,
// the selection commands as the window shows them, and the user's own
// selecting. Runs on the offscreen platform unless another is asked for.
//
//   vorneck_file_list_bench [--entries=N] [benchmark flags]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

#include "engine/source_file_list.h"
#include "ui/Main.h"
#include "ui/controls.h"
#include "ui/file_list_box.h"

namespace {

std::size_t gEntries = 100000;
QTemporaryDir* gBig = nullptr;
QTemporaryDir* gEmpty = nullptr;
vorneck::ExtractionState gState;
vorneck::TForm1* gForm = nullptr;

void MakeFiles(const QString& directory, std::size_t count) {
    static const char* kinds[] = {".mod", ".MOD", ".med", ".txt", ".mmd1"};
    const std::string base = QFile::encodeName(directory).toStdString() + "/";
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = base + "module_" + std::to_string(i * 7919 % count) + "_track" + kinds[i % 5];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) ::close(fd);
    }
}

void Settle() { QCoreApplication::processEvents(); }

vorneck::FileListBox* List() { return gForm->FileListBox1; }

// Reading the directory alone: readdir, the file-type checks and the sort.
void BM_ReadDirectory(benchmark::State& state) {
    const std::string dir = QFile::encodeName(gBig->path()).toStdString();
    for (auto _ : state) {
        auto listing = vorneck::ListDirectoryFiles(dir);
        benchmark::DoNotOptimize(listing.names.data());
    }
    state.counters["entries"] = static_cast<double>(gEntries);
}
BENCHMARK(BM_ReadDirectory)->Unit(benchmark::kMillisecond);

// Pointing the shown list at the directory: reading, the model reset, the
// view's layout and its first paint.
void BM_LoadFileList(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        gForm->SetFileListDirectory(gEmpty->path().toStdString());
        Settle();
        state.ResumeTiming();
        gForm->SetFileListDirectory(gBig->path().toStdString());
        Settle();
        List()->repaint();
    }
    state.counters["entries"] = static_cast<double>(List()->model()->rowCount());
}
BENCHMARK(BM_LoadFileList)->Unit(benchmark::kMillisecond);

void BM_SelectAllMenu(benchmark::State& state) {
    for (auto _ : state) {
        gForm->DeselectAll1Click();
        gForm->SelectAll1Click();
        Settle();
    }
    state.counters["selected"] = static_cast<double>(List()->List().SelectedCount());
}
BENCHMARK(BM_SelectAllMenu)->Unit(benchmark::kMillisecond);

// One entry in five matches, each alone: the most ranges a pattern makes here.
void BM_PatternSelectScattered(benchmark::State& state) {
    gForm->PatternStr->setText(QStringLiteral("*.med"));
    for (auto _ : state) {
        gForm->DeselectAll1Click();
        gForm->SelectButtonClick();
        Settle();
    }
    state.counters["selected"] = static_cast<double>(List()->List().SelectedCount());
    state.counters["ranges"] = static_cast<double>(List()->selectionModel()->selection().size());
}
BENCHMARK(BM_PatternSelectScattered)->Unit(benchmark::kMillisecond);

void BM_PatternDeselectScattered(benchmark::State& state) {
    gForm->PatternStr->setText(QStringLiteral("*.mod"));
    for (auto _ : state) {
        state.PauseTiming();
        gForm->SelectAll1Click();
        Settle();
        state.ResumeTiming();
        gForm->DeselectButtonClick();
        Settle();
    }
    state.counters["selected"] = static_cast<double>(List()->List().SelectedCount());
}
BENCHMARK(BM_PatternDeselectScattered)->Unit(benchmark::kMillisecond);

// Ctrl+click on one entry while the scattered selection is shown.
void BM_UserCtrlClickScattered(benchmark::State& state) {
    gForm->PatternStr->setText(QStringLiteral("*.med"));
    gForm->DeselectAll1Click();
    gForm->SelectButtonClick();
    Settle();
    const QPoint where = List()->visualRect(List()->model()->index(0, 0)).center();
    for (auto _ : state) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::ControlModifier, where);
        Settle();
    }
    state.counters["selected"] = static_cast<double>(List()->List().SelectedCount());
}
BENCHMARK(BM_UserCtrlClickScattered)->Unit(benchmark::kMillisecond);

// Ctrl+A in the list, from a scattered selection.
void BM_UserSelectAllKey(benchmark::State& state) {
    gForm->PatternStr->setText(QStringLiteral("*.med"));
    for (auto _ : state) {
        state.PauseTiming();
        gForm->DeselectAll1Click();
        gForm->SelectButtonClick();
        Settle();
        state.ResumeTiming();
        QTest::keyClick(List(), Qt::Key_A, Qt::ControlModifier);
        Settle();
    }
    state.counters["selected"] = static_cast<double>(List()->List().SelectedCount());
}
BENCHMARK(BM_UserSelectAllKey)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--entries=", 10) == 0) {
            gEntries = std::stoul(argv[i] + 10);
            for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
            --argc;
            --i;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir big;
    QTemporaryDir empty;
    gBig = &big;
    gEmpty = &empty;
    QElapsedTimer timer;
    timer.start();
    MakeFiles(big.path(), gEntries);
    std::fprintf(stderr, "created %zu files in %lld ms\n", gEntries, static_cast<long long>(timer.elapsed()));

    QDir::setCurrent(big.path());
    timer.restart();
    auto form = std::make_unique<vorneck::TForm1>(gState);
    form->show();
    Settle();
    std::fprintf(stderr, "window started on them in %lld ms\n", static_cast<long long>(timer.elapsed()));
    gForm = form.get();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gForm = nullptr;
    form.reset();
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
