// libFuzzer entry of the table engine: the same input handler as the bounded driver in ctest.
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DTORV_LIBFUZZER=ON
//   ninja -C build-fuzz fuzz_tables && build-fuzz/tests/archive/fuzz_tables -max_total_time=60
#include "TableFuzz.h"

#include "base/Formats.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_tables";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir tmp;
    static torv::TableEngine engine;
    static const QString dir = tmp.path() + QLatin1Char('/');
    torvtest::ResetScratchTables(engine, dir);
    torvtest::FuzzOneInput(engine, dir, QByteArray(reinterpret_cast<const char *>(data), int(size)));
    return 0;
}
