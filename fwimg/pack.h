// The image header of this run, its setters, and building and taking apart images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "build.h"
#include "imglib.h"

namespace fwimg {

class background_check;
struct input_file;

// ---- run settings (set by the command line) ----------------------------------------------
extern uint32_t gu4magic_num;          // configured magic number
extern int32_t ignore_flag;            // 1: print headers and error texts; 0: quiet
extern int32_t extractheader_only;     // 1: skip CRC checks, headers only
extern char input_filename[FILENAME_SIZE];
extern char output_filename[FILENAME_SIZE];
extern char type_str[TYPE_SIZE];
extern char s[PATH_SIZE];              // name of the image file written by encapsulate

// The header being built (host byte order) and the two parts of its name field.
extern imglib::image_header _core_header;

// Resets the header, the module text and the model.
void header_reset();

// Setters: 0, or -EINVAL when the value does not fit.
void imagehdr_clear();
void set_header_magic_num();
int set_header_date(const time_t* seconds);
int set_company(const char* text);
int set_version(const char* text);
int set_header_version(const uint8_t version[4]);
int set_controller_version(const char* text);
int set_modulename(const char* text);

// The three packed bytes of up to four alphabet characters, up to the first zero byte.
std::string encode(const char* text);

// The module text of the header being built.
const std::string& module_text();

// Prints an image header (host byte order) in the firmware image form.
void print_image_header(const imglib::image_header& h);
// Prints a boot-loader image header with its check flag.
void print_uboot_header(const imglib::image_header& h);

// Builds the image of the input file `in` into a new file named from the header, under `dir`
// when it is not null; the image is written beside its name and put there only when whole,
// and the header printed then (unless quiet). The name is left in `s`. Returns 0, -EEXIST
// when the file exists already, another negative error number on failure (reported, except
// -ENAMETOOLONG).
int encapsulate(const input_file& in, const char* dir);

// Writes "file_info.txt" into `dir`, beside its name first. Returns 0, or a negative error
// number after a message.
int exportinfo(const char* dir);

// Takes the image at `path` apart into `dir` (or only prints its header when dir is null); its
// outputs are written beside their names and put there only when whole, and only then is the
// header printed. Returns 0, or -ENOENT / -EIO / -ENAMETOOLONG on failure.
int decapsulate(const char* path, const char* dir);
// The same after the image check `check`, which may be still running: -EINVAL when it fails,
// and then nothing has been printed or left behind.
int decapsulate(const char* path, const char* dir, background_check& check);

// Prints the boot-loader header of the file at `path`. Returns 0, or -ENOENT / -EIO.
int decapsulate_uboot(const char* path);

}  // namespace fwimg
