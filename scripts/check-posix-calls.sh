#!/usr/bin/env bash
# Fails when a POSIX-only header or call (or a Windows-only header) appears
# in src/ outside the platform layer (src/base/platform/posix/ and win32/):
# everything above it must build for both systems unchanged. So do reading
# the environment (getenv), signals (SIGxxx in code, not in comments or
# texts) and fixed device paths ("/dev/…", "/sys/…" literals): the platform
# layer says what they are on each system. Prints each offending line.
set -uo pipefail
cd "$(dirname "$0")/.."

headers='windows|winbase|io|process|direct|unistd|termios|fcntl|poll|iconv|signal|dirent|pwd|grp|dlfcn|spawn|pthread|sys/[a-z_]+'
calls='::(open|read|write|close|_exit|syscall|unlinkat|fchown|chown|geteuid|getuid|readlink|symlink|mkfifo|pread|pwrite|fsync|fdatasync|syncfs|unlink|link|rename|access|stat|fstat|lstat|mkstemp|mkostemp|mkdtemp|fchmod|chmod|isatty|ioctl|fork|execv?p?e?|waitpid|pipe2?|dup2?|kill|getpid|flock|poll|select|sigaction|sigprocmask|pthread_sigmask|alarm|prctl|setrlimit|getrlimit|mmap|munmap|localtime_r|gmtime_r|tc[a-z]+|cf[a-z]+|iconv[a-z_]*)\('
bare='(^|[^A-Za-z0-9_:.>])(sigaction|iconv_open|flock|tcsetattr|tcgetattr|cfmakeraw)[[:space:]]*\('

found=$(grep -rnE --include='*.cpp' --include='*.h' \
    -e "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($headers)\.h>" \
    -e "(^|[^A-Za-z0-9_])$calls" -e "$bare" src |
    grep -vE '^src/base/platform/(posix|win32)/')
# The code of each line without its comment and with its string literals
# emptied, for the words that may appear in texts and comments.
# Raw string literals (the CLI's help) may span lines; their lines stay.
code_only() {
    perl -0pe 's/R"\((.*?)\)"/q{R""} . ("\n" x ($1 =~ tr{\n}{}))/gse;
               s/"(?:[^"\\\n]|\\.)*"/""/g; s{//[^\n]*}{}g' "$1"
}
while IFS= read -r file; do
    hits=$(code_only "$file" | grep -nE '(^|[^A-Za-z0-9_])(std::)?(getenv|_wgetenv|secure_getenv)[[:space:]]*\(|(^|[^A-Za-z0-9_])SIG[A-Z]{2,}([^A-Za-z0-9_]|$)' |
        sed "s|^|$file:|")
    paths=$(sed -E 's|//.*$||' "$file" | grep -nE '"/(dev|sys)(/|")' | sed "s|^|$file:|")
    for h in "$hits" "$paths"; do
        [ -n "$h" ] && found+=${found:+$'\n'}$h
    done
done < <(find src -type f \( -name '*.cpp' -o -name '*.h' \) | grep -vE '^src/base/platform/(posix|win32)/' | sort)
if [ -n "$found" ]; then
    echo "POSIX-only headers or calls, environment, signals or device paths outside src/base/platform/:"
    echo "$found"
    exit 1
fi
echo "no POSIX-only headers or calls outside the platform layer"
