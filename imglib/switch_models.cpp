// The switch models this firmware line is built for, keyed by the image magic number.
#include "imglib.h"

namespace imglib {

const switch_model switch_models[SWITCH_MODEL_COUNT] = {
    {0x80A00101, "LS1008"},       {0x80A00102, "LS1008P"},      {0x80A00103, "LS1016"},
    {0x80A00104, "LS1024"},       {0x80A00201, "LS2008-2F"},    {0x80A00202, "LS2008P-2F"},
    {0x80A00203, "LS2016-2F"},    {0x80A00204, "LS2024-4F"},    {0x80A00205, "LS2024P-4F"},
    {0x80A00301, "LS3024-4X"},    {0x80A00302, "LS3024P-4X"},   {0x80A00303, "LS3048-4X"},
    {0x80A00304, "LS3048P-4X"},   {0x80A00401, "LS5024-4XQ"},   {0x80A00402, "LS5048-6XQ"},
};

const char* switch_model_name(uint32_t magic)
{
    const char* found = nullptr;
    for (const switch_model& row : switch_models)
        if (row.magic == magic)
            found = row.name;
    return found;
}

}  // namespace imglib
