// fwimg: wraps a file into a firmware image, checks and takes images apart, prints image and
// boot-loader headers, and copies the installed firmware's magic number into the boot
// environment.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "build.h"
#include "pack.h"
#include "stdout_check.h"
#include "util.h"

namespace fwimg {
namespace {

enum class operation { none, encapsulate, decapsulate };

// Everything the options gather beyond the header.
struct run_state {
    operation op = operation::none;
    char output_dir[PATH_SIZE] = "";
    char image_path[PATH_SIZE] = "";
    // The input file of -f.
    input_file input;
    // The check of the image of -d, which runs while the options after it are walked (those
    // that can neither print nor end the run) and while the data is copied out.
    background_check check;
    // Set by an option after which the run ends at once with exit code 1 and prints nothing
    // more: -r, -u and -a when they are done, -f when it has reported its file unusable.
    bool stop = false;
};
run_state g_run;

// ---- help ---------------------------------------------------------------------------------
const char* const help_lines[] = {
    "-m: module name ",  "-e: encapsulate to image ",
    "-d: decapsulate from image ", "-g: magic ",
    "-s: extract header skip crc check ", "-v: version ",
    "-f: full filename & path ", "-o: output directory ",
    "-t: output type ", "-r: Print header for uboot mkimage",
    "-a: Check magic number", "-b: Controller version",
};

void print_helps()
{
    for (const char* line : help_lines)
        printf("%s\n", line);
}

// ---- boot environment ---------------------------------------------------------------------
// The appliance's commands; none of them takes text from outside except the checked magic
// number appended to the last one.
const char CMD_PRINTENV_MAGIC[] = "fw_printenv magic_number";
const char CMD_BOOTPARTITION[] =
    "fw_printsys bootpartition | grep bootpartition=  | awk '{sub(/bootpartition=/,\"\");print }'";
const char* const CMD_READ_MAGIC[2] = {
    "cat /tmp/app/image1.txt 2> /dev/null | grep 'magic number' | awk 'FS=\":\"{print $2}'",
    "cat /tmp/app/image2.txt 2> /dev/null | grep 'magic number' | awk 'FS=\":\"{print $2}'",
};
const char CMD_RESET_BOOTPARTITION[] = "fw_setsys bootpartition 0";
const char CMD_SETENV_MAGIC[] = "fw_setenv magic_number %s";

constexpr std::size_t LINE_MAX_LEN = 1023;
constexpr std::size_t ANSWER_MAX_LEN = 255;

// Runs `cmd` through the shell and leaves the first word of its first output line in `answer`
// (ANSWER_MAX_LEN + 1 bytes). Returns 0, or -1 when it could not be started or exited non-zero.
int execmd_return(const char* cmd, char* answer)
{
    answer[0] = '\0';
    FILE* p = popen(cmd, "r");
    if (p == nullptr) {
        perror("popen");
        return -1;
    }
    char line[LINE_MAX_LEN + 1];
    bool got = fgets(line, sizeof line, p) != nullptr;
    // Drain the rest so that the command does not die writing into a closed pipe.
    char sink[256];
    while (fread(sink, 1, sizeof sink, p) > 0) {
    }
    int status = pclose(p);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    if (got) {
        const char* w = line + strspn(line, " \t\r\n");
        std::size_t n = strcspn(w, " \t\r\n");
        if (n > ANSWER_MAX_LEN)
            n = ANSWER_MAX_LEN;
        std::memcpy(answer, w, n);
        answer[n] = '\0';
    }
    return 0;
}

// A magic number fit for a command line: optional 0x, one to eight hexadecimal digits.
bool plain_hex(const char* text)
{
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text += 2;
    std::size_t n = strlen(text);
    return n >= 1 && n <= 8 && strspn(text, "0123456789abcdefABCDEF") == n;
}

void check_magic_number()
{
    char answer[ANSWER_MAX_LEN + 1];
    if (execmd_return(CMD_PRINTENV_MAGIC, answer) == 0)
        return;  // the environment holds a magic number already
    if (execmd_return(CMD_BOOTPARTITION, answer) != 0)
        return;
    const char* read_cmd;
    if (strlen(answer) == 1) {
        if (answer[0] != '0' && answer[0] != '1')
            return;
        read_cmd = CMD_READ_MAGIC[answer[0] - '0'];
    } else {
        char ignored[ANSWER_MAX_LEN + 1];
        execmd_return(CMD_RESET_BOOTPARTITION, ignored);
        read_cmd = CMD_READ_MAGIC[0];
    }
    if (execmd_return(read_cmd, answer) != 0)
        return;
    if (!plain_hex(answer)) {
        fprintf(stderr, "magic number \"%s\" is not a hexadecimal number; not set\n", answer);
        return;
    }
    char cmd[sizeof CMD_SETENV_MAGIC + ANSWER_MAX_LEN];
    snprintf(cmd, sizeof cmd, CMD_SETENV_MAGIC, answer);
    char ignored[ANSWER_MAX_LEN + 1];
    execmd_return(cmd, ignored);
}

// ---- input file ---------------------------------------------------------------------------
// Opens the input file; each failure is reported on the error stream.
int open_input_file(const char* path, struct stat& st)
{
    int ret = open_regular(path, g_run.input, st, -EIO);
    if (ret < 0)
        return ret;
    // The header's size field holds 32 bits.
    if (g_run.input.len > UINT32_MAX) {
        fprintf(stderr, "%s is too large for an image\n", path);
        return -EFBIG;
    }
    return 0;
}

int open_input(const char* path)
{
    int ret = copy_text(input_filename, sizeof input_filename, path);
    if (ret < 0)
        return ret;
    struct stat st;
    ret = open_input_file(path, st);
    if (ret < 0) {
        g_run.stop = true;  // reported already
        return ret;
    }
    time_t mtime = st.st_mtime;
    return set_header_date(&mtime);
}

// The result of an option that has done all this run does: the run ends with exit code 1.
int end_run(int ret)
{
    if (ret == 0)
        g_run.stop = true;
    return ret;
}

// ---- options ------------------------------------------------------------------------------
int opt_image_path(const char* path)
{
    int ret = parser_filename(path, input_filename);
    if (ret == 0)
        ret = copy_text(g_run.image_path, sizeof g_run.image_path, path);
    return ret;
}

int opt_help(const char*)
{
    print_helps();
    return 0;
}

int opt_model(const char* arg)
{
    return set_modulename(arg);
}

int opt_encapsulate(const char*)
{
    g_run.op = operation::encapsulate;
    return 0;
}

int opt_headeronly(const char*)
{
    extractheader_only = 1;
    return 0;
}

int opt_decapsulate(const char* arg)
{
    int ret = opt_image_path(arg);
    if (ret < 0)
        return ret;
    if (extractheader_only == 0)
        g_run.check.start(g_run.image_path);
    g_run.op = operation::decapsulate;
    return 0;
}

// The check of -d's image, once it is needed: -EINVAL when the image failed it.
int settle_check()
{
    return g_run.check.result() != 0 ? -EINVAL : 0;
}

int opt_magic(const char* arg)
{
    const char* digits = arg;
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits += 2;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = strtoull(digits, &end, 16);
    if (*digits == '\0' || *end != '\0' || errno != 0 || v > UINT32_MAX ||
        strspn(digits, "0123456789abcdefABCDEF") != strlen(digits))
        return -EINVAL;
    gu4magic_num = static_cast<uint32_t>(v);
    return 0;
}

int opt_version(const char* arg)
{
    int ret = set_version(arg);
    if (ret < 0)
        return ret;
    char copy[VERSION_TEXT_MAX + 1];
    std::memcpy(copy, arg, strlen(arg) + 1);
    uint8_t version[4];
    strtodec(copy, version, ".");
    return set_header_version(version);
}

int opt_filename(const char* arg)
{
    return open_input(arg);
}

int opt_company(const char* arg)
{
    return set_company(arg);
}

int opt_output(const char* arg)
{
    return copy_text(g_run.output_dir, sizeof g_run.output_dir, arg);
}

int opt_type(const char* arg)
{
    return copy_text(type_str, sizeof type_str, arg);
}

int opt_ignore(const char*)
{
    ignore_flag = 0;
    return 0;
}

int opt_printheader(const char* arg)
{
    int ret = opt_image_path(arg);
    if (ret == 0)
        ret = decapsulate_uboot(g_run.image_path);
    return end_run(ret);
}

int opt_check_uboot(const char* arg)
{
    int ret = opt_image_path(arg);
    if (ret < 0)
        return ret;
    // An image that fails its check is not printed.
    if (extractheader_only == 0 && check_file_crc32_uboot(g_run.image_path) != 0)
        return end_run(0);
    return end_run(decapsulate_uboot(g_run.image_path));
}

int opt_magic_to_env(const char*)
{
    check_magic_number();
    return end_run(0);
}

int opt_outputfilename(const char* arg)
{
    return copy_text(output_filename, sizeof output_filename, arg);
}

int opt_controllerversion(const char* arg)
{
    return set_controller_version(arg);
}

struct option_row {
    int code;
    int (*handler)(const char* arg);
};

const option_row option_rows[] = {
    {'h', opt_help},         {'m', opt_model},          {'p', opt_model},
    {'e', opt_encapsulate},  {'s', opt_headeronly},     {'d', opt_decapsulate},
    {'g', opt_magic},        {'v', opt_version},        {'f', opt_filename},
    {'c', opt_company},      {'o', opt_output},         {'t', opt_type},
    {'i', opt_ignore},       {'r', opt_printheader},    {'u', opt_check_uboot},
    {'a', opt_magic_to_env}, {'n', opt_outputfilename}, {'b', opt_controllerversion},
};

const char short_options[] = "eho:d:r:m:u:g:t:p:v:c:s:f:i:a:n:b:";

const struct option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"modulename", required_argument, nullptr, 'p'},
    {"encapsulate", no_argument, nullptr, 'e'},
    {"headeronly", no_argument, nullptr, 's'},
    {"decapsulate", required_argument, nullptr, 'd'},
    {"magic", required_argument, nullptr, 'g'},
    {"version", required_argument, nullptr, 'v'},
    {"filename", required_argument, nullptr, 'f'},
    {"company", required_argument, nullptr, 'c'},
    {"output", required_argument, nullptr, 'o'},
    {"type", required_argument, nullptr, 't'},
    {"ignore", required_argument, nullptr, 'i'},
    {"printheader", required_argument, nullptr, 'r'},
    {"acheckmagicnumber", no_argument, nullptr, 'a'},
    {"outputfilename", required_argument, nullptr, 'n'},
    {"controllerversion", required_argument, nullptr, 'b'},
    {nullptr, 0, nullptr, 0},
};

int dispatch(int code, const char* arg)
{
    for (const option_row& row : option_rows)
        if (row.code == code)
            return row.handler(arg ? arg : "");
    print_helps();  // not an option of ours
    return 0;
}

// Whether the next getopt_long call can neither print nor lead to an option that does: the
// arguments are at their end, or the next one is -o with its directory.
bool quiet_next(int argc, char** argv)
{
    if (optind >= argc)
        return true;
    const char* a = argv[optind];
    return a[0] == '-' && a[1] == 'o' && (a[2] != '\0' || optind + 1 < argc);
}

// The failure line of a run, unless -i asked for quiet.
void print_strerror(int ret)
{
    if (ignore_flag == 1)
        printf("strerror:%s\n", strerror(-ret));
}

int run(int argc, char** argv)
{
    ignore_flag = 1;
    header_reset();
    imagehdr_clear();

    int ret = 0;
    for (;;) {
        // The check of -d's image may go on only while what follows can neither print
        // (getopt's own messages included) nor end the run: the end of the arguments, or -o.
        if (g_run.check.pending() && !quiet_next(argc, argv) && (ret = settle_check()) < 0)
            break;
        int code = getopt_long(argc, argv, short_options, long_options, nullptr);
        if (code == -1)
            break;
        ret = dispatch(code, optarg);
        if (g_run.stop)
            return 1;
        if (ret < 0) {
            // A failed check comes first, as it came before this option.
            int check = settle_check();
            ret = check < 0 ? check : ret;
            break;
        }
    }
    if (ret < 0) {
        print_strerror(ret);
        return 1;
    }

    const char* dir = g_run.output_dir[0] ? g_run.output_dir : nullptr;
    int exit_code = 0;
    if (g_run.op == operation::encapsulate) {
        if (g_run.input.fd < 0) {
            if (ignore_flag == 1)
                fprintf(stderr, "-e needs an input file: give it with -f\n");
            return 1;
        }
        set_header_magic_num();
        ret = encapsulate(g_run.input, dir);
        // An image that exists already is left alone and not counted as a failure; every
        // other failure is (encapsulate has reported file errors itself).
        if (ret == -ENAMETOOLONG)
            print_strerror(ret);
        if (ret < 0 && ret != -EEXIST)
            exit_code = 1;
    } else if (g_run.op == operation::decapsulate) {
        ret = decapsulate(g_run.image_path, dir, g_run.check);
        if (ret == -EINVAL)
            print_strerror(ret);  // the image failed its check
        if (ret < 0)
            exit_code = 1;
    }

    if (g_run.input.release() < 0)
        exit_code = 1;
    return exit_code;
}

}  // namespace
}  // namespace fwimg

int main(int argc, char** argv)
{
    if (!stdout_check::check_at_exit("stdout write fail: %s\n", 1))
        return 1;
    return fwimg::run(argc, argv);
}
