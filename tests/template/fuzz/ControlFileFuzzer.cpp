// libFuzzer target: hostile control files through the control list's loader. A file that does
// not read or is not a control file gives false and the error text, never an exception.

#include "FuzzApartment.h"

#include "template/QelControls.h"

#include "platform/system/Paths.h"

#include <cstddef>
#include <cstdint>
#include <fstream>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::FuzzApartment apartment;
    apartment.Reset();
    const auto file = apartment.Folder() / "template" / "control.xml";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    auto controls = automation::MakeRef<QelControls>();
    if (controls->LoadControls(system::FromNativePath(file))) {
        for (std::int32_t index = 1; index <= controls->Count(); ++index) {
            (void)controls->Item(automation::Variant(index));
        }
    }
    return 0;
}
