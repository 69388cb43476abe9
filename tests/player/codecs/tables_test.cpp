// The committed table source is what the generator makes of the table data.
#include "mpeg_test_support.h"

#include <gtest/gtest.h>

using namespace mpeg_test;

namespace {

TEST(MpegTables, GeneratedSourceIsUpToDate)
{
    TempDir dir;
    std::string output = dir.file("mpeg_tables_data.cpp");
    ASSERT_EQ(run_command(std::string(MPEG_TABLES_GENERATOR) + " " + MPEG_TABLES_DIR + " " + output), 0);
    std::vector<uint8_t> generated = read_bytes(output);
    ASSERT_FALSE(generated.empty());
    EXPECT_TRUE(generated == read_bytes(MPEG_TABLES_SOURCE))
        << "player/codecs/mpeg_tables_data.cpp differs from its data: build the target mpeg-tables";
}

TEST(MpegTables, GeneratorRefusesBrokenData)
{
    TempDir dir;
    for (const char* name :
         {"small-tables.txt", "synthesis-window.txt", "layer3-huffman.txt", "layer2-alloc-b2a.txt",
          "layer2-alloc-b2b.txt", "layer2-alloc-b2c.txt", "layer2-alloc-b2d.txt", "layer2-alloc-lsf.txt"})
        write_bytes(dir.file(name), read_bytes(std::string(MPEG_TABLES_DIR) + "/" + name));
    // A Huffman code that is no longer a prefix code: the first code of table 1 becomes "0".
    std::vector<uint8_t> huffman = read_bytes(dir.file("layer3-huffman.txt"));
    std::string text(huffman.begin(), huffman.end());
    size_t at = text.find("0 0 1 1\n");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 8, "0 0 1 0\n");
    write_bytes(dir.file("layer3-huffman.txt"), {text.begin(), text.end()});
    EXPECT_NE(run_command(std::string(MPEG_TABLES_GENERATOR) + " " + dir.path() + " " + dir.file("out.cpp") +
                          " 2> /dev/null"),
              0);
}

} // namespace
