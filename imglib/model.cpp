#include <cstring>

#include "imglib.h"

namespace imglib {

int model_code(char c)
{
    if (c == '\0')
        return 0;
    const char* p = std::strchr(MODEL_ALPHABET, c);
    return p ? static_cast<int>(p - MODEL_ALPHABET) + 1 : 0;
}

char model_char(unsigned code)
{
    return code == 0 || code > 63 ? '\0' : MODEL_ALPHABET[code - 1];
}

std::string encode_model_group(std::string_view group)
{
    unsigned c[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < 4 && i < group.size(); i++)
        c[i] = static_cast<unsigned>(model_code(group[i]));
    const uint8_t b[3] = {
        static_cast<uint8_t>(c[0] << 2 | c[1] >> 4),
        static_cast<uint8_t>(c[1] << 4 | c[2] >> 2),
        static_cast<uint8_t>(c[2] << 6 | c[3]),
    };
    std::string out;
    for (uint8_t byte : b) {
        if (byte == 0)
            break;
        out.push_back(static_cast<char>(byte));
    }
    return out;
}

pack_result encode_model(std::string_view model, std::string& out)
{
    out.clear();
    for (char ch : model)
        if (model_code(ch) == 0)
            return pack_result::bad_char;
    if (model.size() > MODEL_MAX)
        return pack_result::too_long;
    if (model.empty())
        return pack_result::ok;
    out.push_back(static_cast<char>(model_code(model[0])));
    for (std::size_t i = 1; i < model.size(); i += 4) {
        std::string_view group = model.substr(i, 4);
        std::string bytes = encode_model_group(group);
        // The unpacking takes the last character of a short final group from the bits of the
        // bytes before it, so such a group may lose one byte; any other loss drops characters.
        std::size_t need = group.size() == 4 ? 3 : (group.size() > 1 ? group.size() - 1 : 1);
        if (bytes.size() < need) {
            out.clear();
            return pack_result::not_representable;
        }
        out += bytes;
    }
    return pack_result::ok;
}

std::string decode_model_group(uint8_t b0, uint8_t b1, uint8_t b2, std::size_t left)
{
    const unsigned c[4] = {
        static_cast<unsigned>(b0 >> 2),
        static_cast<unsigned>(((b0 << 4) & 0x30) | (b1 >> 4)),
        left <= 1 ? 0u : static_cast<unsigned>(((b1 << 2) & 0x3C) | (b2 >> 6)),
        left <= 2 ? 0u : static_cast<unsigned>(b2 & 0x3F),
    };
    std::string out;
    for (unsigned code : c) {
        char ch = model_char(code);
        if (ch == '\0')
            break;
        out.push_back(ch);
    }
    return out;
}

std::string decode_model(std::string_view packed, int* tag)
{
    if (tag)
        *tag = 0;
    if (packed.empty())
        return {};
    const auto* p = reinterpret_cast<const uint8_t*>(packed.data());
    if (tag)
        *tag = p[0] >> 6;
    std::string out;
    char first = model_char(p[0] & 0x3F);
    if (first == '\0')
        return out;
    out.push_back(first);
    std::size_t left = packed.size() - 1;
    for (std::size_t i = 1; i < packed.size(); i += 3, left -= left < 3 ? left : 3) {
        uint8_t b[3] = {0, 0, 0};
        for (std::size_t k = 0; k < 3 && i + k < packed.size(); k++)
            b[k] = p[i + k];
        std::string group = decode_model_group(b[0], b[1], b[2], left);
        out += group;
        if (group.size() < 4)
            break;  // a zero code ends the text
    }
    return out;
}

}  // namespace imglib
