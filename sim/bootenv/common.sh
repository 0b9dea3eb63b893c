# Shared by the stand-ins: the store folder and its files, made on first use.
# BOOTENV_DIR names the folder (default /tmp/bootenv); it holds
#   uboot.env      the boot environment, 16 KiB, made by mkenvimage, read and written by the
#                  real fw_printenv/fw_setenv of libubootenv-tool
#   fw_env.config  their configuration: "PATH 0x0 0x4000"
#   sys.env        the system settings of fw_printsys/fw_setsys, one NAME=VALUE a line
bootenv_dir=${BOOTENV_DIR:-/tmp/bootenv}
bootenv_config=$bootenv_dir/fw_env.config
bootenv_sys=$bootenv_dir/sys.env

bootenv_init() {
  if [ ! -f "$bootenv_config" ]; then
    mkdir -p "$bootenv_dir"
    : > "$bootenv_dir/env.txt"
    mkenvimage -s 0x4000 -o "$bootenv_dir/uboot.env" "$bootenv_dir/env.txt" || exit 1
    rm -f "$bootenv_dir/env.txt"
    printf '%s 0x0 0x4000\n' "$bootenv_dir/uboot.env" > "$bootenv_config"
  fi
  [ -f "$bootenv_sys" ] || : > "$bootenv_sys"
}

# The appliance's /tmp/app/image1.txt and image2.txt describe the firmware in the two boot
# partitions; fwimg takes the magic number from the first line that holds "magic number", as the
# second blank-separated field (awks that split the first line on blanks see it there, and those
# that split it on ":" see it first after the colon). For these stand-ins the line reads
#   magic: 0x80800002 (magic number)
