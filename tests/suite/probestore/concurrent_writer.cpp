// A writer process of the concurrent append test: loads the probe store from its own folder and
// appends `count` probes (stressProbe(writer, 0 .. count - 1)) to one probe file, once the test
// opens its gate, reporting "number result" per append on its standard output.
//
//   probestore_concurrent_writer <probe file> <writer> <count>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "abi/probestore.h"
#include "platform/dynlib.h"
#include "tests/suite/probestore/stress_probe.h"
#include "tests/suite/probestore/test_texts.h"
#include "tests/suite/writer_processes.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string file = argv[1];
    const int writer = std::atoi(argv[2]);
    const int count = std::atoi(argv[3]);
    platform::Module store = platform::loadLibrary("probestore.dll");
    if (store == nullptr) return 3;
    auto bind = [store](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
            platform::findExport(store, name));
        return fn != nullptr;
    };
    contracts::ProbeStoreApi api;
    if (!bind(api.VidelitPamyatDlyaDatchikov, "VidelitPamyatDlyaDatchikov") ||
        !bind(api.VibratDatchikPoIndeksu, "VibratDatchikPoIndeksu") ||
        !bind(api.PoluchitVibranniyDatchik, "PoluchitVibranniyDatchik") ||
        !bind(api.InicializirovatDatchik, "InicializirovatDatchik") ||
        !bind(api.SozdatStroku, "SozdatStroku") || !bind(api.SozdatSpisok, "SozdatSpisok") ||
        !bind(api.SohranitDatchik, "SohranitDatchik"))
        return 4;
    if (!api.VidelitPamyatDlyaDatchikov(1, kProbeRecordSize32) || !api.VibratDatchikPoIndeksu(0))
        return 5;
    ProbeRecord* r = api.PoluchitVibranniyDatchik();

    stresstest::waitAtGate();
    for (int number = 0; number < count; ++number) {
        const probestore_test::StressProbe p = probestore_test::stressProbe(writer, number);
        probestore_test::Lines model{{p.model}};
        probestore_test::Lines lines{p.parameters};
        api.SozdatStroku(&r->Model, probestore_test::lineOf, &model);
        api.SozdatSpisok(&r->Parametri, probestore_test::lineOf,
                         static_cast<std::uint32_t>(p.parameters.size()), &lines);
        r->Cena = p.price;
        const bool saved = isTrue(api.SohranitDatchik(file.c_str()));
        std::printf("%d %d\n", number, saved ? 1 : 0);
    }
    std::fflush(stdout);
    api.InicializirovatDatchik();
    api.VidelitPamyatDlyaDatchikov(0, 0);
    platform::freeLibrary(store);
    return 0;
}
