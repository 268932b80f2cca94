// Every JNI function the test runtime does not implement points at a stub
// that names the function on standard error and ends the process with
// code 97, so a launcher that calls one fails plainly instead of running
// into undefined memory. The stubs never return, which is why one
// parameterless function per slot serves every signature.
#include <array>
#include <cstring>
#include <utility>

#include "testrt/jvm/testrt_jvm.h"
#include "testrt/support/settings.h"

#include "testrt/jvm/slot_names.inc"

namespace {

constexpr size_t kEnvSlots = sizeof(JNINativeInterface_) / sizeof(void*);
constexpr size_t kVmSlots = sizeof(JNIInvokeInterface_) / sizeof(void*);
static_assert(sizeof kEnvSlotNames / sizeof kEnvSlotNames[0] == kEnvSlots, "slot_names.inc is out of date");
static_assert(sizeof kVmSlotNames / sizeof kVmSlotNames[0] == kVmSlots, "slot_names.inc is out of date");

[[noreturn]] void unimplemented(size_t slot) {
    const char* name = slot < kEnvSlots ? kEnvSlotNames[slot] : kVmSlotNames[slot - kEnvSlots];
    traceLine(std::string("unimplemented ") + quoteBytes(name));
    failTestRuntime(std::string("unimplemented JNI function ") + name, kExitUnimplemented);
}

template <size_t Slot>
void JNICALL stub() {
    unimplemented(Slot);
}

using Stub = void(JNICALL*)();

template <size_t... Slot>
constexpr std::array<Stub, sizeof...(Slot)> makeStubs(std::index_sequence<Slot...>) {
    return {{&stub<Slot>...}};
}

const auto kStubs = makeStubs(std::make_index_sequence<kEnvSlots + kVmSlots>());

}  // namespace

void fillUnimplemented(void** slots, size_t count, bool invokeTable) {
    size_t first = invokeTable ? kEnvSlots : 0;
    size_t limit = invokeTable ? kVmSlots : kEnvSlots;
    for (size_t i = 0; i < count && i < limit; ++i) {
        Stub s = kStubs[first + i];
        std::memcpy(&slots[i], &s, sizeof s);
    }
}
