#include "util.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "build.h"
#include "pack.h"

namespace fwimg {

mapped_file::~mapped_file()
{
    if (data)
        munmap(const_cast<uint8_t*>(data), len);
    if (fd >= 0)
        close(fd);
}

int map_image(const char* path, mapped_file& m, int open_error)
{
    m.fd = open(path, O_RDONLY);
    if (m.fd < 0) {
        perror("open");
        return open_error;
    }
    struct stat st;
    if (fstat(m.fd, &st) != 0) {
        perror("fstat");
        return -EIO;
    }
    if (!S_ISREG(st.st_mode)) {
        fprintf(stderr, "%s is not a file\n", path);
        return -EIO;
    }
    if (static_cast<unsigned long long>(st.st_size) > SIZE_MAX) {
        errno = EFBIG;
        perror("mmap");
        return -EIO;
    }
    m.len = static_cast<std::size_t>(st.st_size);
    if (m.len < imglib::HEADER_SIZE)
        return 0;
    void* p = mmap(nullptr, m.len, PROT_READ, MAP_PRIVATE, m.fd, 0);
    if (p == MAP_FAILED) {
        perror("mmap");
        return -EIO;
    }
    m.data = static_cast<const uint8_t*>(p);
    madvise(p, m.len, MADV_SEQUENTIAL);
    return 0;
}

namespace {

int check_mapped(const char* path, bool standard, bool check_magic)
{
    mapped_file m;
    int ret = map_image(path, m);
    if (ret < 0)
        return ret;
    if (m.data == nullptr)
        return 1;  // shorter than a header
    if (check_magic && imglib::load_be32(m.data + imglib::OFF_MAGIC) != gu4magic_num)
        return 1;
    const uint32_t size = imglib::load_be32(m.data + imglib::OFF_SIZE);
    if (m.len - imglib::HEADER_SIZE != size)
        return 1;
    const uint8_t* body = m.data + imglib::HEADER_SIZE;
    const uint32_t dcrc = standard ? crc32(0, body, size) : update_crc32(body, size);
    if (dcrc != imglib::load_be32(m.data + imglib::OFF_DCRC))
        return 1;
    if (imglib::header_crc(m.data, standard) != imglib::load_be32(m.data + imglib::OFF_HCRC))
        return 1;
    return 0;
}

}  // namespace

int check_file_crc32(const char* path)
{
    return check_mapped(path, false, ac_build);
}

int check_file_crc32_uboot(const char* path)
{
    return check_mapped(path, true, true);
}

int strtodec(char* text, uint8_t out[4], const char* delims)
{
    std::memset(out, 0, 4);
    int n = 0;
    char* save = nullptr;
    for (char* tok = strtok_r(text, delims, &save); tok && n < 4;
         tok = strtok_r(nullptr, delims, &save))
        out[n++] = static_cast<uint8_t>(strtoul(tok, nullptr, 10));
    return n;
}

int copy_text(char* dst, std::size_t size, const char* src)
{
    std::size_t len = strlen(src);
    if (len >= size)
        return -ENAMETOOLONG;
    std::memcpy(dst, src, len + 1);
    return 0;
}

int parser_filename(const char* path, char* out)
{
    if (path == nullptr || *path == '\0')
        return -EINVAL;
    const char* slash = std::strrchr(path, '/');
    return copy_text(out, FILENAME_SIZE, slash ? slash + 1 : path);
}

}  // namespace fwimg
