#include "pack.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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
}

void print_built_header()
{
    if (ignore_flag == 1) {
        print_image_header(_core_header);
        printf("\n\n");
    }
}

// The image that cannot be created: its header as it would have been, then, for a file that
// cannot be made at its name (`open_fail`), why not.
int report_not_created(int err, const input_file& in, bool open_fail = true)
{
    uint32_t dcrc = 0;
    int ret = crc_of_file(imglib::crc_kind::image, in.fd, 0, in.len, dcrc);
    uint8_t bytes[imglib::HEADER_SIZE];
    finish_header(dcrc, bytes);
    if (ret < 0) {
        report_io(ret, true);
        return ret;
    }
    print_built_header();
    if (open_fail && ignore_flag == 1) {
        errno = -err;
        perror("open fail");
        printf("filename %s \n", s);
    }
    return err;
}

// Whether the input is still as long as when it was opened: one that became shorter has given
// short reads, one that grew would make an image of only a part of it.
int input_unchanged(const input_file& in)
{
    struct stat st;
    if (fstat(in.fd, &st) != 0)
        return -errno;
    return static_cast<uint64_t>(st.st_size) == in.len ? 0 : -EIO;
}

}  // namespace

int encapsulate(const input_file& in, const char* dir)
{
    if (in.len > UINT32_MAX)
        return -EFBIG;
    const std::size_t len = static_cast<std::size_t>(in.len);
    _core_header.size = static_cast<uint32_t>(len);
    int ret = image_file_name(dir);
    if (ret < 0)
        return report_not_created(ret, in, false);
    // An image already at the name is left as it is.
    struct stat st;
    if (lstat(s, &st) == 0)
        return report_not_created(-EEXIST, in);
    imglib::out_file out;
    ret = out.create(s);
    if (ret < 0)
        return report_not_created(ret, in);
    // The data goes to its place after the header, each piece taken into the CRC on its way
    // (one read of the input); the header follows once the CRC is known.
    uint32_t dcrc = 0;
    bool read_failed = false;
    if (lseek(out.fd(), imglib::HEADER_SIZE, SEEK_SET) < 0)
        ret = -errno;
    if (ret == 0) {
        int wret = 0;
        ret = read_pieces(in.fd, 0, len, [&dcrc, &wret, &out](const uint8_t* p, std::size_t n) {
            dcrc = update_crc32(p, n, dcrc);
            return wret = out.write(p, n);
        });
        read_failed = ret < 0 && wret == 0;
    }
    if (ret == 0 && (ret = input_unchanged(in)) < 0)
        read_failed = true;
    uint8_t bytes[imglib::HEADER_SIZE];
    finish_header(dcrc, bytes);
    if (ret == 0) {
        ssize_t n = pwrite(out.fd(), bytes, sizeof bytes, 0);
        ret = n < 0 ? -errno : n != static_cast<ssize_t>(sizeof bytes) ? -EIO : 0;
    }
    if (ret == 0)
        ret = out.finish();
    if (ret == 0) {
        ret = out.place(false);
        if (ret == -EEXIST)
            return report_not_created(ret, in);  // it has come meanwhile
    }
    if (ret < 0) {
        // Nothing is left behind: a partial image must not be taken for a good one.
        report_io(ret, read_failed);
        return ret;
    }
    print_built_header();
    return 0;
}

namespace {

// Writes the information file of the header into a temporary file beside "file_info.txt" in
// `dir`, finished but not yet in place. Returns 0 or a negative error number after a message.
int prepare_info(const char* dir, imglib::out_file& f)
{
    const imglib::image_header& h = _core_header;
    int ret = f.create(std::string(dir) + "/file_info.txt");
    if (ret < 0) {
        errno = -ret;
        perror("open");
        return ret;
    }
    char date[64];
    format_date(date, sizeof date, h.date);
    char text[PATH_SIZE + 256];
    int n = snprintf(text, sizeof text,
                     "Filename: %s\nmagic number: 0x%08x\n%ssize: %" PRIu32
                     "\nVendor: %s\nversion: %d.%02d.%02d\nmodule: %s\n",
                     input_filename, h.magic, date, h.size,
                     field_text(h.company, imglib::COMPANY_SIZE).c_str(), h.version[0],
                     h.version[1], h.version[2],
                     std::string(imglib::name_module(h.name)).c_str());
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof text)
        ret = -ENAMETOOLONG;
    if (ret == 0)
        ret = f.write(text, static_cast<std::size_t>(n));
    if (ret == 0)
        ret = f.finish();
    if (ret < 0) {
        f.discard();
        report_io(ret, false);
    }
    return ret;
}

// Puts a finished output in place; a failure is reported.
int place_output(imglib::out_file& f)
{
    int ret = f.place();
    if (ret < 0)
        report_io(ret, false);
    return ret;
}

}  // namespace

int exportinfo(const char* dir)
{
    imglib::out_file f;
    int ret = prepare_info(dir, f);
    return ret < 0 ? ret : place_output(f);
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

// Where taking the data out failed.
enum class failed_at { none, create, read, write };

// The data part of the image `f` of header `h`, copied into a temporary file beside `name`
// and finished there. Returns 0 or a negative error number, and nothing is reported: the
// caller reports it when the time comes.
int copy_out(const input_file& f, const imglib::image_header& h, const char* name,
             imglib::out_file& out, failed_at& where)
{
    where = failed_at::create;
    int ret = out.create(name);
    if (ret < 0)
        return ret;
    bool read_failed = false;
    ret = copy_data(f.fd, imglib::HEADER_SIZE, out.fd(), h.size, read_failed);
    if (ret == 0)
        ret = out.finish();
    where = ret == 0 ? failed_at::none : read_failed ? failed_at::read : failed_at::write;
    return ret;
}

// Both outputs of a take-apart are in place (data first, then its information file), and
// only then is the header printed: what is printed has been done.
int put_in_place(imglib::out_file& data, const char* dir)
{
    imglib::out_file info;
    int ret = prepare_info(dir, info);
    if (ret == 0)
        ret = place_output(data);
    if (ret == 0)
        ret = place_output(info);
    if (ret < 0)
        return ret;
    print_image_header(_core_header);
    return 0;
}

// Not taken apart beside the check: the caller waits for it and goes the plain way.
constexpr int NOT_BESIDE = 1;

// Takes the image apart while its check is still running, into a temporary file beside the
// output's name, so that it can be removed again, unseen by anything printed, when the check
// fails. Everything that could print a message before the check's result goes the plain way
// instead.
int decapsulate_beside(const char* path, const char* dir, background_check& check)
{
    input_file f;
    uint8_t bytes[imglib::HEADER_SIZE];
    if (open_image(path, f, bytes, -ENOENT, open_report::quiet) < 0)
        return NOT_BESIDE;
    const imglib::image_header h = imglib::header_from_bytes(bytes);
    char name[PATH_SIZE];
    if (f.len - imglib::HEADER_SIZE != h.size ||
        output_name(h, dir, path, name, sizeof name, true) < 0)
        return NOT_BESIDE;
    imglib::out_file out;
    failed_at where;
    int ret = copy_out(f, h, name, out, where);
    if (where == failed_at::create)
        return NOT_BESIDE;  // the plain way says why
    if (check.result() != 0)
        return -EINVAL;
    _core_header = h;
    if (ret < 0) {
        report_io(ret, where == failed_at::read);
        return -EIO;
    }
    return put_in_place(out, dir);
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
    input_file f;
    uint8_t bytes[imglib::HEADER_SIZE];
    int ret = open_image(path, f, bytes, -ENOENT);
    if (ret < 0)
        return ret;
    _core_header = imglib::header_from_bytes(bytes);
    const imglib::image_header& h = _core_header;
    if (extractheader_only == 0 && f.len - imglib::HEADER_SIZE != h.size)
        return -EIO;
    if (dir == nullptr) {
        if (ignore_flag == 1)
            print_image_header(h);
        return 0;
    }
    if (extractheader_only == 1) {
        ret = exportinfo(dir);
        if (ret == 0)
            print_image_header(h);
        return ret;
    }
    char name[PATH_SIZE];
    ret = output_name(h, dir, path, name, sizeof name, false);
    if (ret < 0)
        return ret;
    imglib::out_file out;
    failed_at where;
    ret = copy_out(f, h, name, out, where);
    if (where == failed_at::create) {
        errno = -ret;
        perror("open");
        return -ENOENT;
    }
    if (ret < 0) {
        report_io(ret, where == failed_at::read);
        return -EIO;
    }
    return put_in_place(out, dir);
}

int decapsulate_uboot(const char* path)
{
    input_file f;
    uint8_t bytes[imglib::HEADER_SIZE];
    int ret = open_image(path, f, bytes, -ENOENT);
    if (ret < 0)
        return ret;
    print_uboot_header(imglib::header_from_bytes(bytes));
    return 0;
}

}  // namespace fwimg
