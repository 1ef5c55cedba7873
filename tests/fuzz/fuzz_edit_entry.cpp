// Fuzz target: what the operator types into the setup pages' edit boxes. A command built
// from a box never exceeds what the meter reads and never carries a line end of its own;
// the FL-Setup scale and offset entries are either refused or give a value in range.
// Byte 0 chooses the edit command; the rest is the box's text.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "core/protocol/Commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo;
    if (size < 1) return 0;
    static constexpr EditCommand kCommands[] = {
        EditCommand::Average,    EditCommand::Packet,      EditCommand::Sample,
        EditCommand::Interval,   EditCommand::Ph1OnTime,   EditCommand::Ph1OffTime,
        EditCommand::Ph11OnTime, EditCommand::Ph11OffTime, EditCommand::HexDump};
    const EditCommand command = kCommands[data[0] % std::size(kCommands)];
    const std::string text(fuzz::Body(data, size, 1));

    if (const std::optional<std::string> built = BuildEditCommand(command, text)) {
        FUZZ_CHECK(built->size() <= kMaxCommandLength);
        FUZZ_CHECK(built->find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        // The text goes in as typed, at the end of the command.
        FUZZ_CHECK(built->size() >= text.size());
        FUZZ_CHECK(built->compare(built->size() - text.size(), text.size(), text) == 0);
    }

    const EntryResult scale = CheckScaleEntry(text);
    if (scale.check == EntryCheck::Accepted) FUZZ_CHECK(scale.value >= 1 && scale.value <= 255);
    const EntryResult offset = CheckOffsetEntry(text);
    if (offset.check == EntryCheck::Accepted) FUZZ_CHECK(offset.value >= 0 && offset.value <= 127);
    for (const EntryResult& entry : {scale, offset}) {
        if (text.size() > kMaxEntryLength) FUZZ_CHECK(entry.check == EntryCheck::TooLong);
    }
    return 0;
}
