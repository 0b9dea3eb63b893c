// Firmware image format: the 64-byte big-endian header, the two CRC-32 variants, the model
// alphabet with its 6-bit packing, and the rules of the 32-byte name field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace imglib {

// ---- header layout ------------------------------------------------------------------------
inline constexpr std::size_t HEADER_SIZE = 64;
inline constexpr std::size_t OFF_MAGIC = 0;
inline constexpr std::size_t OFF_HCRC = 4;
inline constexpr std::size_t OFF_DATE = 8;
inline constexpr std::size_t OFF_SIZE = 12;
inline constexpr std::size_t OFF_COMPANY = 16;  // load address and entry point in a boot-loader header
inline constexpr std::size_t OFF_DCRC = 24;
inline constexpr std::size_t OFF_VERSION = 28;  // four one-byte type fields in a boot-loader header
inline constexpr std::size_t OFF_NAME = 32;
inline constexpr std::size_t COMPANY_SIZE = 8;
inline constexpr std::size_t VERSION_SIZE = 4;
inline constexpr std::size_t NAME_SIZE = 32;

// The header in host byte order; the byte form is written and read field by field.
struct image_header {
    uint32_t magic = 0;
    uint32_t hcrc = 0;
    uint32_t date = 0;
    uint32_t size = 0;
    uint8_t company[COMPANY_SIZE] = {};
    uint32_t dcrc = 0;
    uint8_t version[VERSION_SIZE] = {};
    uint8_t name[NAME_SIZE] = {};
};

uint32_t load_be32(const uint8_t* p);
void store_be32(uint8_t* p, uint32_t v);

// Serialises the header into its 64-byte file form.
void header_to_bytes(const image_header& h, uint8_t out[HEADER_SIZE]);
// Reads a header from its 64-byte file form.
image_header header_from_bytes(const uint8_t in[HEADER_SIZE]);

// ---- CRC-32 -------------------------------------------------------------------------------
// Standard reflected CRC-32 (polynomial 0xEDB88320): the start value is complemented on entry
// and the register on exit, so crc32(crc32(0, a), b) is the CRC of a followed by b.
uint32_t crc32(uint32_t start, const uint8_t* data, std::size_t len);
// A large buffer is split between this thread and a second one, except while a
// crc_on_this_thread lives on this thread (a caller that keeps the other core busy itself).
struct crc_on_this_thread {
    crc_on_this_thread();
    ~crc_on_this_thread();
    crc_on_this_thread(const crc_on_this_thread&) = delete;
    crc_on_this_thread& operator=(const crc_on_this_thread&) = delete;
};
// The same routine under the name the switch tool uses; a null pointer gives 0.
uint32_t crc32_update(uint32_t start, const uint8_t* data, std::size_t len);
// Image CRC: the same table, register starting at 0 and no final complement. `reg` continues
// an earlier computation (update_crc32(b, n, update_crc32(a, m)) covers a then b).
uint32_t update_crc32(const uint8_t* data, std::size_t len, uint32_t reg = 0);

// The two CRC variants: the image CRC of firmware images, the standard CRC-32 of boot-loader
// images and switch images.
enum class crc_kind { image, standard };

// Continues a CRC of that kind over `len` more bytes; `so_far` is the CRC of the bytes before
// them (0 for none).
uint32_t continue_crc(crc_kind kind, uint32_t so_far, const uint8_t* data, std::size_t len);

// Header CRC of a 64-byte header: its CRC field counted as zero.
uint32_t header_crc(const uint8_t hdr[HEADER_SIZE], crc_kind kind);
// The same with the kind as a flag: true selects the standard CRC-32.
inline uint32_t header_crc(const uint8_t hdr[HEADER_SIZE], bool standard)
{
    return header_crc(hdr, standard ? crc_kind::standard : crc_kind::image);
}

// ---- model alphabet and packing -----------------------------------------------------------
inline constexpr char MODEL_ALPHABET[] =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-";
inline constexpr std::size_t MODEL_MAX = 17;       // characters that fit the 16-byte packed form
inline constexpr std::size_t PACKED_MAX = 16;

// The alphabet entry (1 to 63) of a character, 0 when it is not in the alphabet.
int model_code(char c);
// The character of an alphabet entry; entry 0 is the zero character.
char model_char(unsigned code);

// Packs up to four characters into three bytes, returned up to the first zero byte.
std::string encode_model_group(std::string_view group);

enum class pack_result { ok, bad_char, too_long, not_representable };
// Packs a model name: its first character's code, then encode_model_group per four characters.
// A model whose packed bytes would hold a zero before their end cannot be stored (the zero ends
// the text), so it is refused like a character outside the alphabet.
pack_result encode_model(std::string_view model, std::string& out);

// Unpacks one group: `left` counts the packed bytes still to come, this group included.
std::string decode_model_group(uint8_t b0, uint8_t b1, uint8_t b2, std::size_t left);
// Unpacks packed model bytes; `tag` receives the top two bits of the first byte.
std::string decode_model(std::string_view packed, int* tag = nullptr);

// ---- name field ---------------------------------------------------------------------------
// The module text: the bytes up to the first zero, at most the whole field.
std::string_view name_module(const uint8_t name[NAME_SIZE]);
// The model bytes: after the module text's zero up to the next zero or the field's end.
std::string_view name_model(const uint8_t name[NAME_SIZE]);
// True when module text, its zero, model and its zero fit the 32-byte field.
bool name_fits(std::size_t module_len, std::size_t model_len);
// Lays out module, zero, model, zero fill. Returns false (field untouched) when it does not fit.
bool compose_name(std::string_view module, std::string_view model, uint8_t name[NAME_SIZE]);

// ---- switch model table -------------------------------------------------------------------
struct switch_model {
    uint32_t magic;
    char name[32];
};
inline constexpr std::size_t SWITCH_MODEL_COUNT = 15;
extern const switch_model switch_models[SWITCH_MODEL_COUNT];
// The model name of an image magic number (the last matching row), or nullptr.
const char* switch_model_name(uint32_t magic);

}  // namespace imglib
