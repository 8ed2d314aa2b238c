// What the user waits for between choosing a probe file and seeing its lines: the record
// selection dialog built over n lines, all selected, shown, and its marks read back on
// "Выбрать". The dialog is never drawn on a screen: the offscreen platform is used unless
// QT_QPA_PLATFORM names another.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>

#include "editor/collections/record_selection_model.h"
#include "editor/ui/tfrm_vibor.h"

namespace {

void BM_SelectionDialogLoadModeRoundTrip(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    collections::RecordSelectionModel model;
    for (std::size_t i = 0; i < n; ++i)
        model.addLine(std::to_string(i) + ": Изготовитель Модель-" + std::to_string(i) +
                      " (Преобразователь)");
    for (auto _ : state) {
        model.bnVidelitVseClick();
        model.setFocusedPosition(0);
        ui::TfrmVibor dialog(model, nullptr);
        dialog.show();
        dialog.done(collections::kResultChosen);
        benchmark::DoNotOptimize(model.selectedCount());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SelectionDialogLoadModeRoundTrip)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
