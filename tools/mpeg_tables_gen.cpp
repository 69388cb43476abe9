// Generates player/codecs/mpeg_tables_data.cpp from the plain-text tables in
// player/codecs/tables/, so that no table of the MPEG audio codec is typed by
// hand. The Huffman codes are turned into the decoder's tree form here, after
// checking that each one is a complete prefix code.
//
// Usage: mpeg-tables-gen TABLES_DIR OUTPUT_FILE
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& message)
{
    throw std::runtime_error(message);
}

// The lines of a file with comments ('#' to the end) removed; blank lines dropped.
std::vector<std::vector<std::string>> readTokens(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        fail("cannot open " + path);
    std::vector<std::vector<std::string>> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> tokens;
        for (std::string word; words >> word;)
            tokens.push_back(word);
        if (!tokens.empty())
            lines.push_back(tokens);
    }
    return lines;
}

long toInt(const std::string& text)
{
    size_t used = 0;
    long value = std::stol(text, &used);
    if (used != text.size())
        fail("not an integer: " + text);
    return value;
}

double toDouble(const std::string& text)
{
    size_t used = 0;
    double value = std::stod(text, &used);
    if (used != text.size())
        fail("not a number: " + text);
    return value;
}

// small-tables.txt: blocks started by "name:", rows of an optional label and numbers.
struct SmallTables {
    std::map<std::string, std::vector<std::vector<std::string>>> blocks;

    explicit SmallTables(const std::string& path)
    {
        std::string current;
        for (auto& tokens : readTokens(path)) {
            if (tokens.size() == 1 && tokens[0].back() == ':') {
                current = tokens[0].substr(0, tokens[0].size() - 1);
                blocks[current];
                continue;
            }
            if (current.empty())
                fail("row outside a block in " + path);
            blocks[current].push_back(tokens);
        }
    }

    const std::vector<std::vector<std::string>>& block(const std::string& name) const
    {
        auto it = blocks.find(name);
        if (it == blocks.end())
            fail("missing block " + name);
        return it->second;
    }

    // The numbers of the row whose leading tokens equal the label words.
    std::vector<std::string> row(const std::string& name, const std::vector<std::string>& label) const
    {
        for (auto& tokens : block(name)) {
            if (tokens.size() < label.size())
                continue;
            bool same = true;
            for (size_t i = 0; i < label.size(); ++i)
                same = same && tokens[i] == label[i];
            if (same)
                return {tokens.begin() + label.size(), tokens.end()};
        }
        std::string text;
        for (auto& word : label)
            text += " " + word;
        fail("missing row" + text + " in " + name);
    }
};

std::vector<long> ints(const std::vector<std::string>& tokens, size_t expected)
{
    if (tokens.size() != expected)
        fail("expected " + std::to_string(expected) + " values, found " + std::to_string(tokens.size()));
    std::vector<long> values;
    for (auto& token : tokens)
        values.push_back(toInt(token));
    return values;
}

std::string joined(const std::vector<long>& values)
{
    std::string text;
    for (size_t i = 0; i < values.size(); ++i)
        text += (i ? ", " : "") + std::to_string(values[i]);
    return text;
}

// Builds the tree form of a prefix code; checks completeness and prefix freedom.
class TreeBuilder {
public:
    void add(const std::string& bits, int value)
    {
        Node* node = &root;
        for (char bit : bits) {
            if (bit != '0' && bit != '1')
                fail("bad code bits " + bits);
            if (node->leaf)
                fail("code " + bits + " extends another code");
            auto& child = bit == '0' ? node->zero : node->one;
            if (!child)
                child = std::make_unique<Node>();
            node = child.get();
        }
        if (node->leaf || node->zero || node->one)
            fail("code " + bits + " is a prefix of another code or repeated");
        node->leaf = true;
        node->value = value;
    }

    std::vector<int> layout() const
    {
        std::vector<int> entries;
        emit(root, entries);
        return entries;
    }

private:
    struct Node {
        bool leaf = false;
        int value = 0;
        std::unique_ptr<Node> zero, one;
    };

    static void emit(const Node& node, std::vector<int>& entries)
    {
        if (node.leaf) {
            entries.push_back(node.value);
            return;
        }
        if (!node.zero || !node.one)
            fail("incomplete Huffman code");
        size_t branch = entries.size();
        entries.push_back(0);
        emit(*node.zero, entries);
        int zeroSize = static_cast<int>(entries.size() - branch - 1);
        entries[branch] = -zeroSize;
        emit(*node.one, entries);
    }

    Node root;
};

struct HuffmanTable {
    int number = 0;
    int linbits = 0;
    int codesOf = -1; // the table whose codes this one shares, or -1
    std::vector<int> tree;
};

std::vector<HuffmanTable> readHuffman(const std::string& path)
{
    std::vector<HuffmanTable> tables;
    std::unique_ptr<TreeBuilder> builder;
    size_t codes = 0;
    auto finish = [&] {
        if (tables.empty())
            return;
        HuffmanTable& table = tables.back();
        if (table.codesOf >= 0)
            return;
        if (codes == 0)
            table.tree = {0}; // one leaf (0, 0), read without bits
        else
            table.tree = builder->layout();
    };
    for (auto& tokens : readTokens(path)) {
        if (tokens[0] == "table") {
            finish();
            if (tokens.size() < 8 || tokens[2] != "xlen" || tokens[4] != "ylen" || tokens[6] != "linbits")
                fail("bad table line in " + path);
            HuffmanTable table;
            table.number = static_cast<int>(toInt(tokens[1]));
            table.linbits = static_cast<int>(toInt(tokens[7]));
            if (tokens.size() == 10 && tokens[8] == "codes-of-table")
                table.codesOf = static_cast<int>(toInt(tokens[9]));
            if (table.number != static_cast<int>(tables.size()))
                fail("Huffman tables out of order");
            tables.push_back(table);
            builder = std::make_unique<TreeBuilder>();
            codes = 0;
            continue;
        }
        if (tables.empty())
            fail("code before the first table");
        bool quadruple = tables.back().number >= 32;
        if (quadruple) {
            auto v = ints({tokens[0], tokens[1]}, 2);
            if (tokens.size() != 3 || v[0] < 0 || v[0] > 15 || static_cast<size_t>(v[1]) != tokens[2].size())
                fail("bad count1 code line");
            builder->add(tokens[2], static_cast<int>(v[0]));
        } else {
            auto v = ints({tokens[0], tokens[1], tokens[2]}, 3);
            if (tokens.size() != 4 || v[0] < 0 || v[0] > 15 || v[1] < 0 || v[1] > 15 ||
                static_cast<size_t>(v[2]) != tokens[3].size())
                fail("bad code line");
            builder->add(tokens[3], static_cast<int>(v[0] << 4 | v[1]));
        }
        ++codes;
    }
    finish();
    if (tables.size() != 34)
        fail("expected 34 Huffman tables");
    return tables;
}

struct AllocationTable {
    int sblimit = 0;
    struct Subband {
        int nbal = 0;
        struct Class {
            long levels = 0, bits = 0, grouped = 0;
        } classes[16];
    } subbands[32];
};

AllocationTable readAllocation(const std::string& path)
{
    auto lines = readTokens(path);
    if (lines.empty() || lines[0].size() != 2 || lines[0][0] != "sblimit")
        fail("missing sblimit in " + path);
    AllocationTable table;
    table.sblimit = static_cast<int>(toInt(lines[0][1]));
    if (table.sblimit < 1 || table.sblimit > 32)
        fail("bad sblimit in " + path);
    std::vector<std::vector<bool>> seen(32, std::vector<bool>(16, false));
    for (size_t i = 1; i < lines.size(); ++i) {
        auto v = ints(lines[i], 6);
        long subband = v[0], index = v[1];
        if (subband < 0 || subband >= table.sblimit || index < 0 || index > 15)
            fail("bad allocation row in " + path);
        auto& sb = table.subbands[subband];
        if (index == 0) {
            if (v[2] != 0 || v[3] < 2 || v[3] > 4)
                fail("bad nbal row in " + path);
            sb.nbal = static_cast<int>(v[3]);
        } else {
            if (v[2] < 3 || v[3] < 1 || v[3] > 16 || (v[4] != 1 && v[4] != 3))
                fail("bad class row in " + path);
            sb.classes[index] = {v[2], v[3], v[4] == 1 ? 1 : 0};
        }
        seen[subband][index] = true;
    }
    for (int sb = 0; sb < table.sblimit; ++sb) {
        int entries = 1 << table.subbands[sb].nbal;
        for (int index = 0; index < 16; ++index)
            if (seen[sb][index] != (index < entries))
                fail("allocation rows of subband " + std::to_string(sb) + " incomplete in " + path);
    }
    return table;
}

std::string formatDouble(double value)
{
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr; // shortest exact form
    std::string s(buffer, end);
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}

void writeAllocation(std::ostream& out, const std::string& name, const AllocationTable& table)
{
    out << "const layer2_allocation " << name << " = {" << table.sblimit << ", {\n";
    for (int sb = 0; sb < table.sblimit; ++sb) {
        auto& subband = table.subbands[sb];
        out << "    {" << subband.nbal << ", {";
        for (int index = 0; index < (1 << subband.nbal); ++index) {
            auto& c = subband.classes[index];
            out << (index ? ", " : "") << "{" << c.levels << ", " << c.bits << ", " << c.grouped << "}";
        }
        out << "}},\n";
    }
    out << "}};\n\n";
}

void generate(const std::string& dir, std::ostream& out)
{
    SmallTables small(dir + "/small-tables.txt");

    out << "// Generated by tools/mpeg_tables_gen.cpp from player/codecs/tables/. Do not edit:\n"
           "// change the data or the generator and regenerate (target mpeg-tables).\n"
           "#include \"mpeg_tables.h\"\n\nnamespace melvox::mpeg::tables {\n\n";

    // Bitrates: index 15 is forbidden and stored as 0 beside the 15 listed values.
    out << "const uint16_t bitrate_kbps[6][16] = {\n";
    for (const char* row :
         {"mpeg1-layer1", "mpeg1-layer2", "mpeg1-layer3", "mpeg2-layer1", "mpeg2-layer2", "mpeg2-layer3"}) {
        auto values = ints(small.row("bitrates-kbps", {row}), 15);
        values.push_back(0);
        out << "    {" << joined(values) << "},  // " << row << "\n";
    }
    out << "};\n\n";

    out << "const uint32_t sampling_rate_hz[3][4] = {\n";
    for (const char* row : {"mpeg1", "mpeg2", "mpeg2.5"}) {
        auto values = ints(small.row("sampling-frequencies-hz", {row}), 3);
        values.push_back(0);
        out << "    {" << joined(values) << "},  // " << row << "\n";
    }
    out << "};\n\n";

    const char* rates[9] = {"44100", "48000", "32000", "22050", "24000", "16000", "11025", "12000", "8000"};
    for (auto [kind, count] : {std::pair{"long", 23}, std::pair{"short", 14}}) {
        out << "const uint16_t sfb_" << kind << "_bounds[9][" << count << "] = {\n";
        for (const char* rate : rates) {
            auto values = ints(small.row("layer3-scalefactor-band-starts", {rate, kind}), count);
            for (int i = 1; i < count; ++i)
                if (values[i] < values[i - 1])
                    fail(std::string("band boundaries not rising at ") + rate);
            if (values.front() != 0 || values.back() != (std::string(kind) == "long" ? 576 : 192))
                fail(std::string("band boundaries do not span the granule at ") + rate);
            out << "    {" << joined(values) << "},  // " << rate << "\n";
        }
        out << "};\n\n";
    }

    out << "const uint8_t slen_mpeg1[2][16] = {\n";
    for (const char* row : {"slen1", "slen2"})
        out << "    {" << joined(ints(small.row("layer3-slen", {row}), 16)) << "},\n";
    out << "};\n\n";

    auto& pretab = small.block("layer3-pretab");
    if (pretab.size() != 1)
        fail("pretab must be one row");
    out << "const uint8_t pretab[22] = {" << joined(ints(pretab[0], 22)) << "};\n\n";

    auto& antialias = small.block("layer3-antialias-ci");
    if (antialias.size() != 1 || antialias[0].size() != 8)
        fail("antialias must be one row of 8");
    out << "const double antialias_ci[8] = {";
    for (size_t i = 0; i < 8; ++i)
        out << (i ? ", " : "") << formatDouble(toDouble(antialias[0][i]));
    out << "};\n\n";

    out << "const uint8_t lsf_nr_of_sfb[6][3][4] = {\n";
    for (int number = 0; number < 6; ++number) {
        auto values = ints(small.row("layer3-lsf-nr-of-sfb", {std::to_string(number)}), 12);
        out << "    {{" << joined({values.begin(), values.begin() + 4}) << "}, {"
            << joined({values.begin() + 4, values.begin() + 8}) << "}, {" << joined({values.begin() + 8, values.end()})
            << "}},\n";
    }
    out << "};\n\n";

    auto window = readTokens(dir + "/synthesis-window.txt");
    if (window.size() != 512)
        fail("the synthesis window needs 512 coefficients");
    out << "const double synthesis_window[512] = {\n";
    for (size_t i = 0; i < 512; ++i) {
        if (window[i].size() != 2 || toInt(window[i][0]) != static_cast<long>(i))
            fail("synthesis window out of order at " + std::to_string(i));
        out << (i % 4 == 0 ? "    " : " ") << formatDouble(toDouble(window[i][1])) << "," << (i % 4 == 3 ? "\n" : "");
    }
    out << "};\n\n";

    auto huffman = readHuffman(dir + "/layer3-huffman.txt");
    for (auto& table : huffman) {
        if (table.codesOf >= 0 || table.tree.size() == 1)
            continue;
        out << "static const int16_t tree" << table.number << "[" << table.tree.size() << "] = {";
        for (size_t i = 0; i < table.tree.size(); ++i)
            out << (i % 16 == 0 ? "\n    " : " ") << table.tree[i] << ",";
        out << "\n};\n\n";
    }
    out << "static const int16_t tree_zero[1] = {0};\n\n";
    out << "const huffman_table huffman_tables[34] = {\n";
    for (auto& table : huffman) {
        const HuffmanTable& codes = table.codesOf >= 0 ? huffman.at(table.codesOf) : table;
        std::string tree = codes.tree.size() == 1 ? "tree_zero" : "tree" + std::to_string(codes.number);
        out << "    {" << table.linbits << ", " << codes.tree.size() << ", " << tree << "},  // table " << table.number
            << "\n";
    }
    out << "};\n\n";

    for (const char* name : {"b2a", "b2b", "b2c", "b2d", "lsf"})
        writeAllocation(out, std::string("layer2_") + name, readAllocation(dir + "/layer2-alloc-" + name + ".txt"));

    out << "}  // namespace melvox::mpeg::tables\n";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TABLES_DIR OUTPUT_FILE\n", argv[0]);
        return 2;
    }
    try {
        std::ostringstream text;
        generate(argv[1], text);
        std::ofstream out(argv[2], std::ios::binary);
        out << text.str();
        if (!out)
            fail(std::string("cannot write ") + argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "mpeg-tables-gen: %s\n", error.what());
        return 1;
    }
    return 0;
}
