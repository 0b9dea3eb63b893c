#include "pack.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util.h"

namespace fwimg {

uint32_t gu4magic_num = DEFAULT_MAGIC;
int32_t ignore_flag = 1;
int32_t extractheader_only = 0;
char input_filename[FILENAME_SIZE];
char output_filename[FILENAME_SIZE];
char type_str[TYPE_SIZE];
char s[PATH_SIZE];

imglib::image_header _core_header;

namespace {

// The name field is kept as its two parts and laid out again after every change, so that
// neither part can overwrite the other or run past the field.
std::string g_module;
std::string g_model;

int relayout(const std::string& module, const std::string& model)
{
    if (!imglib::compose_name(module, model, _core_header.name))
        return -EINVAL;
    g_module = module;
    g_model = model;
    return 0;
}

// "date: Y/M/D hh:mm" of a header date in local time.
void format_date(char* buf, std::size_t size, uint32_t date)
{
    time_t t = static_cast<time_t>(date);
    struct tm tm;
    if (localtime_r(&t, &tm) == nullptr)
        std::memset(&tm, 0, sizeof tm);
    snprintf(buf, size, "date: %u/%u/%u %02d:%02d\n", static_cast<unsigned>(tm.tm_year + 1900),
             static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_mday), tm.tm_hour,
             tm.tm_min);
}

std::string field_text(const uint8_t* p, std::size_t size)
{
    return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), size));
}

int write_all(int fd, const uint8_t* p, std::size_t len)
{
    while (len > 0) {
        ssize_t n = write(fd, p, len);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        if (n == 0)
            return -EIO;
        p += n;
        len -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Copies `len` bytes of the mapped file `m` from `offset` to `fd`: inside the kernel where the
// file systems allow it, else by writes from the mapping. 0, or a negative error number.
int copy_mapped(const mapped_file& m, std::size_t offset, int fd, std::size_t len)
{
    while (len > 0) {
        off_t from = static_cast<off_t>(offset);
        ssize_t n = copy_file_range(m.fd, &from, fd, nullptr, len, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                      errno == EPERM))
            break;  // not between these two files: write the rest from the mapping
        if (n < 0)
            return -errno;
        if (n == 0)
            return -EIO;  // the image has become shorter
        offset += static_cast<std::size_t>(n);
        len -= static_cast<std::size_t>(n);
    }
    return len == 0 ? 0 : write_all(fd, m.data + offset, len);
}

// The directory without one trailing "/".
std::string strip_slash(const char* dir)
{
    std::string d(dir);
    if (!d.empty() && d.back() == '/')
        d.pop_back();
    return d;
}

// Builds the output name into `s`; -ENAMETOOLONG when it does not fit.
int image_file_name(const char* dir)
{
    const imglib::image_header& h = _core_header;
    const std::string company = field_text(h.company, imglib::COMPANY_SIZE);
    const char* module = g_module.c_str();
    const int v0 = h.version[0], v1 = h.version[1], v2 = h.version[2], v3 = h.version[3];
    int n;
    if (std::strcmp(type_str, "Config") == 0) {
        if (dir)
            n = snprintf(s, sizeof s, "%s/%s.cfg", strip_slash(dir).c_str(), module);
        else
            n = snprintf(s, sizeof s, "%s.cfg", output_filename[0] ? output_filename : module);
    } else if (dir) {
        if constexpr (ac_build)
            n = snprintf(s, sizeof s, "%s/vornhelm_%d.%d.%d_arm.bin", strip_slash(dir).c_str(), v1,
                         v2, v3);
        else
            n = snprintf(s, sizeof s, "%s/%s_%s-%d.%d.%d.img", strip_slash(dir).c_str(), module,
                         company.c_str(), v0, v1, v2);
    } else {
        n = snprintf(s, sizeof s, "%s_%s-%d.%d.%d.img", module, company.c_str(), v0, v1, v2);
    }
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof s) {
        s[0] = '\0';
        return -ENAMETOOLONG;
    }
    return 0;
}

// Maps an image for decapsulate: a missing file is -ENOENT, one without a header -EIO.
int open_image(const char* path, mapped_file& m)
{
    int ret = map_image(path, m, -ENOENT, map_use::header);
    if (ret < 0)
        return ret;
    return m.data ? 0 : -EIO;
}

}  // namespace

void header_reset()
{
    _core_header = imglib::image_header{};
    g_module.clear();
    g_model.clear();
}

const std::string& module_text()
{
    return g_module;
}

void imagehdr_clear()
{
    _core_header.magic = 0;
}

void set_header_magic_num()
{
    _core_header.magic = gu4magic_num;
}

int set_header_date(const time_t* seconds)
{
    _core_header.date = static_cast<uint32_t>(*seconds);
    return 0;
}

int set_company(const char* text)
{
    std::size_t len = strlen(text);
    if (len >= imglib::COMPANY_SIZE)
        return -EINVAL;
    std::memset(_core_header.company, 0, imglib::COMPANY_SIZE);
    std::memcpy(_core_header.company, text, len);
    return 0;
}

int set_version(const char* text)
{
    if (strlen(text) > VERSION_TEXT_MAX)
        return -EINVAL;
    return relayout(std::string(MODULE_PREFIX) + text, g_model);
}

int set_header_version(const uint8_t version[4])
{
    std::memcpy(_core_header.version, version, imglib::VERSION_SIZE);
    return 0;
}

int set_controller_version(const char* text)
{
    return relayout(g_module + "-" + text, g_model);
}

int set_modulename(const char* text)
{
    std::string model;
    if constexpr (ac_build) {
        model = text;
        if (model.size() > PLAIN_MODEL_MAX)
            return -EINVAL;
    } else if (imglib::encode_model(text, model) != imglib::pack_result::ok) {
        return -EINVAL;
    }
    return relayout(g_module, model);
}

std::string encode(const char* text)
{
    return imglib::encode_model_group(text);
}

void print_image_header(const imglib::image_header& h)
{
    char date[64];
    format_date(date, sizeof date, h.date);
    printf("magic number: 0x%x\n", h.magic);
    printf("header crc: 0x%x\n", h.hcrc);
    fputs(date, stdout);
    printf("filesize: %" PRIu32 "\n", h.size);
    printf("company: %s\n", field_text(h.company, imglib::COMPANY_SIZE).c_str());
    printf("Data crc: 0x%x\n", h.dcrc);
    if constexpr (ac_build)
        printf("version: %d.%d.%d.%d\n", h.version[0], h.version[1], h.version[2], h.version[3]);
    else
        printf("version: %d.%02d.%02d\n", h.version[0], h.version[1], h.version[2]);
    printf("Module: %s\n", std::string(imglib::name_module(h.name)).c_str());
    printf("Model: %s\n", std::string(imglib::name_model(h.name)).c_str());
}

void print_uboot_header(const imglib::image_header& h)
{
    char date[64];
    format_date(date, sizeof date, h.date);
    printf("magic number: 0x%08x\n", h.magic);
    printf("header crc: 0x%x\n", h.hcrc);
    fputs(date, stdout);
    printf("filesize: %" PRIu32 "\n", h.size);
    printf("Data crc: 0x%x\n", h.dcrc);
    printf("Module: %s\n", std::string(imglib::name_module(h.name)).c_str());
    printf("Model: %s\n", std::string(imglib::name_model(h.name)).c_str());
    printf("CheckFlag:%d\n", h.magic == 0xFFFFFFFFu ? 0 : 1);
}

namespace {

// Completes the header for a data CRC, returns its file form in `bytes`.
void finish_header(uint32_t dcrc, uint8_t bytes[imglib::HEADER_SIZE])
{
    imglib::image_header& h = _core_header;
    h.dcrc = dcrc;
    h.hcrc = 0;
    imglib::header_to_bytes(h, bytes);
    h.hcrc = imglib::header_crc(bytes, imglib::crc_kind::image);
    imglib::store_be32(bytes + imglib::OFF_HCRC, h.hcrc);
    if (ignore_flag == 1) {
        print_image_header(h);
        printf("\n\n");
    }
}

// Writes go in pieces of this size: one write of a whole large image can take several times
// as long.
constexpr std::size_t PIECE = 1024 * 1024;

}  // namespace

int encapsulate(const uint8_t* data, std::size_t len, const char* dir)
{
    if (len > UINT32_MAX)
        return -EFBIG;
    _core_header.size = static_cast<uint32_t>(len);
    uint8_t bytes[imglib::HEADER_SIZE];
    int ret = image_file_name(dir);
    int fd = ret < 0 ? -1 : open(s, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        int err = ret < 0 ? -ret : errno;
        finish_header(update_crc32(data, len), bytes);
        if (ret == 0 && ignore_flag == 1) {
            errno = err;
            perror("open fail");
            printf("filename %s \n", s);
        }
        return -err;
    }
    // The data goes to its place after the header while a second thread takes its CRC; the
    // header follows once the CRC is known.
    uint32_t reg = 0;
    side_job crc([&reg, data, len] {
        imglib::crc_on_this_thread one;  // the writer has the other core
        reg = update_crc32(data, len);
    });
    if (lseek(fd, imglib::HEADER_SIZE, SEEK_SET) < 0)
        ret = -errno;
    for (std::size_t off = 0; ret == 0 && off < len; off += PIECE)
        ret = write_all(fd, data + off, len - off < PIECE ? len - off : PIECE);
    crc.wait();
    finish_header(reg, bytes);
    if (ret == 0 && pwrite(fd, bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        ret = errno ? -errno : -EIO;
    if (close(fd) != 0 && ret == 0)
        ret = -errno;
    if (ret < 0) {
        // A partial image must not be taken for a good one.
        errno = -ret;
        perror("write");
        unlink(s);
        return ret;
    }
    return 0;
}

void exportinfo(const char* dir)
{
    const imglib::image_header& h = _core_header;
    std::string path = std::string(dir) + "/file_info.txt";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    FILE* f = fd >= 0 ? fdopen(fd, "w") : nullptr;
    if (f == nullptr) {
        perror("open");
        if (fd >= 0)
            close(fd);
        return;
    }
    char date[64];
    format_date(date, sizeof date, h.date);
    fprintf(f, "Filename: %s\n", input_filename);
    fprintf(f, "magic number: 0x%08x\n", h.magic);
    fputs(date, f);
    fprintf(f, "size: %" PRIu32 "\n", h.size);
    fprintf(f, "Vendor: %s\n", field_text(h.company, imglib::COMPANY_SIZE).c_str());
    fprintf(f, "version: %d.%02d.%02d\n", h.version[0], h.version[1], h.version[2]);
    fprintf(f, "module: %s\n", std::string(imglib::name_module(h.name)).c_str());
    if (fclose(f) != 0)
        perror("write");
}

namespace {

// The output file of `h` under `dir` in `name`; -EIO after a message when a text of the image
// would lead out of the directory, -ENAMETOOLONG when the name does not fit.
int output_name(const imglib::image_header& h, const char* dir, const char* path, char* name,
                std::size_t size, bool quiet)
{
    const std::string module(imglib::name_module(h.name));
    const std::string company = field_text(h.company, imglib::COMPANY_SIZE);
    if (module.find('/') != std::string::npos || company.find('/') != std::string::npos) {
        if (!quiet)
            fprintf(stderr, "%s: module or company text holds a '/'\n", path);
        return -EIO;
    }
    int n;
    if constexpr (ac_build)
        n = snprintf(name, size, "%s/vornhelm_%d.%d.%d_arm.tar.gz", dir, h.version[1],
                     h.version[2], h.version[3]);
    else
        n = snprintf(name, size, "%s/%s_%s-%d.%d.%d.image", dir, module.c_str(), company.c_str(),
                     h.version[0], h.version[1], h.version[2]);
    if (n < 0 || static_cast<std::size_t>(n) >= size)
        return -ENAMETOOLONG;
    return 0;
}

// Not taken apart beside the check: the caller waits for it and goes the plain way.
constexpr int NOT_BESIDE = 1;

// Takes the image apart while its check is still running, into an output file that does not
// exist yet, so that it can be removed again, unseen by anything printed, when the check fails.
// Everything that could print a message before the check's result goes the plain way instead.
int decapsulate_beside(const char* path, const char* dir, background_check& check)
{
    mapped_file m;
    if (map_image(path, m, -ENOENT, map_use::header, map_report::quiet) < 0 || m.data == nullptr)
        return NOT_BESIDE;
    const imglib::image_header h = imglib::header_from_bytes(m.data);
    char name[PATH_SIZE];
    if (m.len - imglib::HEADER_SIZE != h.size ||
        output_name(h, dir, path, name, sizeof name, true) < 0)
        return NOT_BESIDE;
    int fd = open(name, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return NOT_BESIDE;  // among others an output file of an earlier run, left alone
    int ret = copy_mapped(m, imglib::HEADER_SIZE, fd, h.size);
    if (close(fd) != 0 && ret == 0)
        ret = -EIO;
    if (check.result() != 0) {
        unlink(name);
        return -EINVAL;
    }
    _core_header = h;
    print_image_header(h);
    if (ret < 0)
        return -EIO;
    exportinfo(dir);
    return 0;
}

}  // namespace

int decapsulate(const char* path, const char* dir, background_check& check)
{
    if (check.pending() && dir != nullptr && extractheader_only == 0) {
        int ret = decapsulate_beside(path, dir, check);
        if (ret != NOT_BESIDE)
            return ret;
    }
    if (check.result() != 0)
        return -EINVAL;
    return decapsulate(path, dir);
}

int decapsulate(const char* path, const char* dir)
{
    mapped_file m;
    int ret = open_image(path, m);
    if (ret < 0)
        return ret;
    _core_header = imglib::header_from_bytes(m.data);
    const imglib::image_header& h = _core_header;
    if (extractheader_only == 0 && m.len - imglib::HEADER_SIZE != h.size)
        return -EIO;
    if (dir == nullptr) {
        if (ignore_flag == 1)
            print_image_header(h);
        return 0;
    }
    print_image_header(h);
    if (extractheader_only == 1) {
        exportinfo(dir);
        return 0;
    }
    char name[PATH_SIZE];
    ret = output_name(h, dir, path, name, sizeof name, false);
    if (ret < 0)
        return ret;
    int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        perror("open");
        return -ENOENT;
    }
    ret = copy_mapped(m, imglib::HEADER_SIZE, fd, h.size);
    if (close(fd) != 0 && ret == 0)
        ret = -EIO;
    if (ret < 0)
        return -EIO;
    exportinfo(dir);
    return 0;
}

int decapsulate_uboot(const char* path)
{
    mapped_file m;
    int ret = open_image(path, m);
    if (ret < 0)
        return ret;
    print_uboot_header(imglib::header_from_bytes(m.data));
    return 0;
}

}  // namespace fwimg
