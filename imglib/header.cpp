#include <cstring>

#include "imglib.h"

namespace imglib {

uint32_t load_be32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void store_be32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

void header_to_bytes(const image_header& h, uint8_t out[HEADER_SIZE])
{
    store_be32(out + OFF_MAGIC, h.magic);
    store_be32(out + OFF_HCRC, h.hcrc);
    store_be32(out + OFF_DATE, h.date);
    store_be32(out + OFF_SIZE, h.size);
    std::memcpy(out + OFF_COMPANY, h.company, COMPANY_SIZE);
    store_be32(out + OFF_DCRC, h.dcrc);
    std::memcpy(out + OFF_VERSION, h.version, VERSION_SIZE);
    std::memcpy(out + OFF_NAME, h.name, NAME_SIZE);
}

image_header header_from_bytes(const uint8_t in[HEADER_SIZE])
{
    image_header h;
    h.magic = load_be32(in + OFF_MAGIC);
    h.hcrc = load_be32(in + OFF_HCRC);
    h.date = load_be32(in + OFF_DATE);
    h.size = load_be32(in + OFF_SIZE);
    std::memcpy(h.company, in + OFF_COMPANY, COMPANY_SIZE);
    h.dcrc = load_be32(in + OFF_DCRC);
    std::memcpy(h.version, in + OFF_VERSION, VERSION_SIZE);
    std::memcpy(h.name, in + OFF_NAME, NAME_SIZE);
    return h;
}

std::string_view name_module(const uint8_t name[NAME_SIZE])
{
    const char* p = reinterpret_cast<const char*>(name);
    return std::string_view(p, strnlen(p, NAME_SIZE));
}

std::string_view name_model(const uint8_t name[NAME_SIZE])
{
    std::size_t start = name_module(name).size() + 1;
    if (start >= NAME_SIZE)
        return {};
    const char* p = reinterpret_cast<const char*>(name) + start;
    return std::string_view(p, strnlen(p, NAME_SIZE - start));
}

bool name_fits(std::size_t module_len, std::size_t model_len)
{
    // Module text, its zero, the model and its zero all inside the field.
    return module_len <= NAME_SIZE && model_len <= NAME_SIZE &&
           module_len + 1 + model_len + 1 <= NAME_SIZE;
}

bool compose_name(std::string_view module, std::string_view model, uint8_t name[NAME_SIZE])
{
    if (!name_fits(module.size(), model.size()))
        return false;
    std::memset(name, 0, NAME_SIZE);
    std::memcpy(name, module.data(), module.size());
    std::memcpy(name + module.size() + 1, model.data(), model.size());
    return true;
}

}  // namespace imglib
