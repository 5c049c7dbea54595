// SPDX-License-Identifier: GPL-3.0-or-later
// midigen: writes Standard MIDI Files from the cue notation (see README.md).
#include "notation.h"
#include "smf.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace
{

constexpr std::uintmax_t kMaxInput = 16u << 20;

void usage()
{
    std::cerr << "usage: midigen CUE.txt -o OUT.mid   write a MIDI file from a cue\n"
                 "       midigen --check CUE.txt       parse only, print the length in seconds\n"
                 "       midigen --length FILE.mid     print a MIDI file's length in seconds\n";
}

bool readFile(const std::string& path, std::string& out)
{
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        std::cerr << path << ": error: cannot read: " << ec.message() << "\n";
        return false;
    }
    if (size > kMaxInput) {
        std::cerr << path << ": error: file is too large\n";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << path << ": error: cannot open\n";
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        std::cerr << path << ": error: read failed\n";
        return false;
    }
    return true;
}

void printSeconds(double s)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", s);
    std::cout << buf << "\n";
}

int lengthOf(const std::string& path)
{
    std::string text;
    if (!readFile(path, text)) return 1;
    try {
        printSeconds(
            midigen::smfLengthSeconds(std::vector<std::uint8_t>(text.begin(), text.end())));
    } catch (const std::exception& e) {
        std::cerr << path << ": error: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

int compile(const std::string& input, const std::string& output)
{
    std::string text;
    if (!readFile(input, text)) return 1;
    std::vector<std::uint8_t> bytes;
    try {
        bytes = midigen::encodeSmf(midigen::parseNotation(text));
    } catch (const midigen::NotationError& e) {
        std::cerr << input << ":" << e.line() << ": error: " << e.what() << "\n";
        return 1;
    }
    if (output.empty()) {
        printSeconds(midigen::smfLengthSeconds(bytes));
        return 0;
    }
    // Written aside and renamed, so a failed run never leaves a half file for the build to use.
    std::string temp = output + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::cerr << output << ": error: cannot write\n";
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, output, ec);
    if (ec) {
        std::cerr << output << ": error: cannot write: " << ec.message() << "\n";
        std::filesystem::remove(temp, ec);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 2 && args[0] == "--length") return lengthOf(args[1]);
        if (args.size() == 2 && args[0] == "--check") return compile(args[1], "");
        if (args.size() == 3 && args[1] == "-o" && !args[2].empty() && args[0][0] != '-')
            return compile(args[0], args[2]);
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            usage();
            return 0;
        }
        usage();
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "midigen: error: " << e.what() << "\n";
        return 1;
    }
}
