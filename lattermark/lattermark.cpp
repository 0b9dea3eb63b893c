// lattermark: packs switch model names into header bytes, unpacks them, and prints a one-line
// summary of a switch image header with the result of its two CRC checks.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "imglib.h"
#include "out_file.h"
#include "stdout_check.h"

namespace {

constexpr int STATUS_MISUSE = -1;  // exit status 255
constexpr std::size_t READ_PIECE = 65536;

struct file_closer {
    void operator()(FILE* f) const { fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

// Opens an input for reading only when it is a regular file: a FIFO or a device would block
// the open or never end. Null when it cannot be opened or is not a regular file.
file_ptr open_regular(const char* path)
{
    // Without O_NONBLOCK the open of a FIFO waits for a writer before fstat can tell.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* f = fdopen(fd, "rb");
    if (f == nullptr)
        close(fd);
    return file_ptr(f);
}

struct command {
    const char* name;
    const char* usage;   // usage block without its closing empty line
    const char* format;  // the line printed for a wrong argument count
    int (*handler)(const char* arg, std::string& result);
};

int cmd_encode(const char* model, std::string& result)
{
    switch (imglib::encode_model(model, result)) {
    case imglib::pack_result::ok:
        return 0;
    case imglib::pack_result::bad_char:
        puts("The model name holds a character other than 0-9, A-Z, a-z and -");
        break;
    case imglib::pack_result::too_long:
        printf("The model name is longer than %zu characters\n", imglib::MODEL_MAX);
        break;
    case imglib::pack_result::not_representable:
        puts("The model name cannot be packed: a packed byte would be zero");
        break;
    }
    return STATUS_MISUSE;
}

int cmd_decode(const char* path, std::string& result)
{
    const file_ptr f = open_regular(path);
    if (f == nullptr) {
        fputs("File open fail\n", stderr);
        return STATUS_MISUSE;
    }
    // The packed bytes end at the end of the file or at a zero byte.
    char packed[imglib::PACKED_MAX + 1];
    std::size_t n = fread(packed, 1, sizeof packed, f.get());
    n = strnlen(packed, n);
    if (n > imglib::PACKED_MAX) {
        printf("The packed model is longer than %zu bytes\n", imglib::PACKED_MAX);
        return STATUS_MISUSE;
    }
    result = imglib::decode_model(std::string_view(packed, n));
    return 0;
}

int cmd_show_info(const char* path, std::string& result)
{
    const file_ptr f = open_regular(path);
    if (f == nullptr) {
        puts("Can't read image file");
        return STATUS_MISUSE;
    }
    // A short file leaves the rest of the header zero; the CRC checks then fail.
    uint8_t hdr[imglib::HEADER_SIZE] = {};
    std::size_t got = fread(hdr, 1, sizeof hdr, f.get());
    const imglib::image_header h = imglib::header_from_bytes(hdr);

    const std::string_view module = imglib::name_module(h.name);
    const std::size_t at = module.find("IMG-");
    if (at == std::string_view::npos) {
        puts("The image header has no IMG- module text");
        return STATUS_MISUSE;
    }
    const std::string version(module.substr(at + 4));

    time_t t = static_cast<time_t>(h.date);
    struct tm tm;
    if (gmtime_r(&t, &tm) == nullptr)
        std::memset(&tm, 0, sizeof tm);

    const char* model_name = imglib::switch_model_name(h.magic);
    std::string model;
    char tag_text[12] = "none";
    if (model_name) {
        model = model_name;
    } else {
        int tag = 0;
        model = imglib::decode_model(imglib::name_model(h.name), &tag);
        snprintf(tag_text, sizeof tag_text, "%d", tag);
    }

    bool ok = got == sizeof hdr && imglib::header_crc(hdr, imglib::crc_kind::standard) == h.hcrc;
    // One piece buffer for the run: nothing to allocate, nothing to fail.
    static uint8_t piece[READ_PIECE];
    uint32_t crc = 0;
    for (uint32_t left = h.size; left > 0;) {
        std::size_t want = left < READ_PIECE ? left : READ_PIECE;
        std::size_t n = fread(piece, 1, want, f.get());
        crc = imglib::crc32_update(crc, piece, n);
        left -= static_cast<uint32_t>(n);
        if (n < want)
            break;
    }
    if (crc != h.dcrc)
        ok = false;

    char line[160];
    snprintf(line, sizeof line, "%s:v%s:%02d%02d%02d:%7u:%X:%s:%s", model.c_str(),
             version.c_str(), tm.tm_year - 100, tm.tm_mon + 1, tm.tm_mday,
             static_cast<unsigned>(h.size), static_cast<unsigned>(h.magic), ok ? "Y" : "N",
             tag_text);
    result = line;
    return 0;
}

// Writes `text` to the output file `path`. A device or a FIFO there is written to as it is;
// anything else gets a new file beside the name, put in its place only when whole and on disk
// (a link at the name is replaced, not followed), with the permissions of the file it
// replaces, or for a new file those that creating it gives. Returns 0 or -1.
int write_output(const char* path, const std::string& text)
{
    struct stat st;
    if (stat(path, &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        int fd = open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return -1;
        int ret = imglib::write_all(fd, text.data(), text.size());
        return close(fd) == 0 && ret == 0 ? 0 : -1;
    }
    mode_t mode;
    if (lstat(path, &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
    } else {
        mode = umask(0);
        umask(mode);
        mode = 0666 & ~mode;
    }
    imglib::out_file out;
    if (out.create(path, mode) != 0 || out.write(text.data(), text.size()) != 0)
        return -1;
    return out.commit() == 0 ? 0 : -1;
}

const command commands[] = {
    {"encode", "encode\t\tencode model name\n\t\t<model_name> <file_path>\n",
     "The correct format is: ./lattermark encode <model_name> <file_path>", cmd_encode},
    {"decode",
     "decode\t\tdecode model name\n\t\t<model_name_path> <file_path>\n",
     "The correct format is: ./lattermark decode <model_name_path> <file_path>", cmd_decode},
    {"show_info", "show_info\tshow switch header infomation\n\t\t<image_path> <file_path>\n",
     "The correct format is: ./lattermark show_info <image_path> <file_path>", cmd_show_info},
};

int run(int argc, char** argv)
{
    if (argc < 2) {
        for (const command& c : commands)
            printf("%s\n", c.usage);
        return STATUS_MISUSE;
    }
    const command* cmd = nullptr;
    for (const command& c : commands)
        if (std::strcmp(argv[1], c.name) == 0)
            cmd = &c;
    if (cmd == nullptr) {
        puts("The format is incorrect");
        return 0;
    }
    if (argc != 3 && argc != 4) {
        puts(cmd->format);
        return STATUS_MISUSE;
    }
    std::string result;
    int ret = cmd->handler(argv[2], result);
    if (ret != 0)
        return ret;
    if (argc == 4) {
        if (write_output(argv[3], result) != 0) {
            puts("Can't open file");
            return STATUS_MISUSE;
        }
    } else {
        fwrite(result.data(), 1, result.size(), stdout);
        putchar('\n');
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // Like every other message, one about standard output ends with the status of misuse.
    if (!stdout_check::check_at_exit("Can't write standard output: %s\n", STATUS_MISUSE & 0xFF))
        return STATUS_MISUSE & 0xFF;
    return run(argc, argv) & 0xFF;
}
