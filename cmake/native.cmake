# Native (host) build: the platform-free code and its tests under ASan and UBSan, and the
# Linux tools around the installer.
set(TOLBEX_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${TOLBEX_SANITIZE} -Wall -Wextra)
add_link_options(${TOLBEX_SANITIZE})
