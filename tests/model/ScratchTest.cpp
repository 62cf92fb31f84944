#include "ModelFixture.h"
#include "model/table/QelTables.h"
#include <chrono>
namespace qv { namespace {
class ScratchTest : public test::ModelTest {};
TEST_F(ScratchTest, Many) {
    auto start = std::chrono::steady_clock::now();
    auto tables = automation::MakeRef<QelTables>();
    for (int i = 0; i < 32767; ++i) tables->Add(u"T" + automation::ToString(automation::Variant(std::int32_t{i})));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    printf("add: %lld ms\n", (long long)ms);
}
}}
