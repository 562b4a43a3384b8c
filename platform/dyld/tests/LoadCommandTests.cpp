// The one reader of load commands that the loader and the signer share: it yields each command whole,
// and a header whose count or sizes lie takes it no further than the commands' room.
#include "dyld/MachO.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using macho::LoadCommands;

// An image of `commands` (each a cmd and a cmdsize, padded to that size) under a header that claims
// `ncmds` commands in `sizeofcmds` bytes.
std::vector<std::uint8_t> image(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& commands,
                                std::uint32_t ncmds, std::uint32_t sizeofcmds) {
    macho::MachHeader64 header{
        macho::MH_MAGIC_64, macho::CPU_TYPE_ARM64, 0, macho::MH_DYLIB, ncmds, sizeofcmds, 0, 0};
    std::vector<std::uint8_t> out(sizeof header);
    std::memcpy(out.data(), &header, sizeof header);
    for (const auto& [cmd, cmdsize] : commands) {
        const std::size_t at = out.size();
        out.resize(at + std::max<std::uint32_t>(cmdsize, 8));
        std::memcpy(&out[at], &cmd, 4);
        std::memcpy(&out[at + 4], &cmdsize, 4);
    }
    return out;
}

struct Read {
    std::vector<LoadCommands::Command> commands;
    LoadCommands::Fault fault;
};

Read readAll(const std::vector<std::uint8_t>& file) {
    const auto header = macho::read<macho::MachHeader64>(file, 0);
    EXPECT_TRUE(header.has_value());
    LoadCommands reader(file, *header);
    Read out;
    while (const auto command = reader.next()) {
        out.commands.push_back(*command);
        // A reader that never stops fails here rather than hanging.
        if (out.commands.size() > 64) {
            break;
        }
    }
    out.fault = reader.fault();
    return out;
}

TEST(LoadCommands, YieldsEachCommandWhereItLies) {
    const auto file = image(
        {{macho::LC_SEGMENT_64, 72}, {macho::LC_UUID, 24}, {macho::LC_CODE_SIGNATURE, 16}}, 3, 72 + 24 + 16);
    const Read read = readAll(file);
    EXPECT_EQ(read.fault, LoadCommands::Fault::None);
    ASSERT_EQ(read.commands.size(), 3u);
    EXPECT_EQ(read.commands[0].cmd, macho::LC_SEGMENT_64);
    EXPECT_EQ(read.commands[0].offset, 32u);
    EXPECT_EQ(read.commands[1].cmd, macho::LC_UUID);
    EXPECT_EQ(read.commands[1].offset, 32u + 72);
    EXPECT_EQ(read.commands[2].cmdsize, 16u);
    EXPECT_EQ(read.commands[2].offset, 32u + 72 + 24);
    // No commands at all is an image that says nothing of itself, not a fault of the reader.
    EXPECT_EQ(readAll(image({}, 0, 0)).fault, LoadCommands::Fault::None);
}

TEST(LoadCommands, StopsAtTheFirstCommandThatDoesNotFit) {
    // A size of 0 would read the same command for ever; one below its own fields, likewise.
    for (const std::uint32_t size : {0u, 4u}) {
        const Read read = readAll(image({{macho::LC_UUID, 24}, {macho::LC_SYMTAB, size}}, 2, 24 + 8));
        EXPECT_EQ(read.fault, LoadCommands::Fault::BadSize) << size;
        EXPECT_EQ(read.commands.size(), 1u) << size;
    }
    // A command that runs past the room the header gives, though not past the file.
    auto past = image({{macho::LC_UUID, 24}, {macho::LC_SYMTAB, 24}}, 2, 24 + 16);
    EXPECT_EQ(readAll(past).fault, LoadCommands::Fault::BadSize);
    EXPECT_EQ(readAll(past).commands.size(), 1u);
    // A size that would wrap an offset around.
    auto wrapping = image({{macho::LC_UUID, 24}}, 1, 24);
    const std::uint32_t huge = 0xfffffff8u;
    std::memcpy(&wrapping[36], &huge, 4);
    EXPECT_EQ(readAll(wrapping).fault, LoadCommands::Fault::BadSize);
}

TEST(LoadCommands, AHeaderThatLiesTakesTheReaderNoFurtherThanTheRoom) {
    // More commands than the room holds: the reader stops where the room does.
    const Read many = readAll(image({{macho::LC_UUID, 24}}, 0xffffffffu, 24));
    EXPECT_EQ(many.fault, LoadCommands::Fault::Truncated);
    EXPECT_EQ(many.commands.size(), 1u);
    // Room that ends inside a command's first fields.
    EXPECT_EQ(readAll(image({{macho::LC_UUID, 24}, {macho::LC_UUID, 24}}, 2, 24 + 4)).fault,
              LoadCommands::Fault::Truncated);
    // Room past the end of the file: nothing is read at all.
    const Read beyond = readAll(image({{macho::LC_UUID, 24}}, 1, 4096));
    EXPECT_EQ(beyond.fault, LoadCommands::Fault::PastEndOfFile);
    EXPECT_TRUE(beyond.commands.empty());
    // Fewer commands than the room holds: the rest of the room is padding, as linkers leave it.
    const Read few = readAll(image({{macho::LC_UUID, 24}, {macho::LC_UUID, 24}}, 1, 48));
    EXPECT_EQ(few.fault, LoadCommands::Fault::None);
    EXPECT_EQ(few.commands.size(), 1u);
}

TEST(LoadCommands, ReadsFieldsOnlyWhereTheyLieWhole) {
    const std::vector<std::uint8_t> bytes{1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(macho::read<std::uint32_t>(bytes, 4), 0x08070605u);
    EXPECT_FALSE(macho::read<std::uint32_t>(bytes, 5).has_value());
    EXPECT_FALSE(macho::read<std::uint32_t>(bytes, 9).has_value());
    EXPECT_FALSE(macho::read<std::uint32_t>(bytes, ~0ull - 1).has_value());
    EXPECT_FALSE(macho::read<macho::MachHeader64>(bytes, 0).has_value());
}

} // namespace
