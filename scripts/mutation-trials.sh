#!/usr/bin/env bash
# mutation-trials.sh [--list] [--confirm] [ID...]: plants one-line mistakes a
# developer could plausibly make, one at a time, into a throw-away clone of
# the committed HEAD (MUTANT_WORK, default /tmp/velsend-mutants-$USER), rebuilds
# what the mutant touches and runs the tests that cover it. A mutant is
# killed when a test fails (or hangs past MUTANT_TIMEOUT seconds, default
# 120). Only test executables that `ctest -LE 'bench|fuzz'` runs are used.
# Prints killed/survived per mutant and the score; exits non-zero when the
# score is below MUTANT_MIN_SCORE percent (default 95). --confirm runs the
# whole `ctest -LE 'bench|fuzz'` against each survivor before calling it one; IDs pick
# mutants (default all); --list prints the table. The clone's build uses the
# project's usual flags and ccache, with CCACHE_BASEDIR so runs share hits.
# Each mutant's build and test output stays in MUTANT_WORK/logs/ID.*.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# id ^ file ^ exact fragment (once in the file; \n for a line break) ^ replacement ^
# exe=gtest-filter ... (the tests that cover it)
mutants=$(cat <<'EOF'
lock-nested^src/base/project_lock.cpp^        ++it->second.count;^        (void)it->second.count;^velsend_store_tests=ProjectLockTest.*
lock-recheck^src/base/project_lock.cpp^        if (lockFile->IsStillNamed(file)) break;^        break;^velsend_store_tests=ProjectLockTest.*
lock-recover^src/base/project_lock.cpp^    if (auto recovered = RecoverFolder(platform::PathFromUtf8(key)); !recovered)^    if (auto recovered = Result<bool>(false); !recovered)^velsend_e2e_tests=ProjectFaults.CommitKilled*:ProjectFaults.TwoImports*
commit-leftover^src/base/file_write.cpp^    if (std::error_code ec; fs::exists(folder / kJournalName, ec))^    if (std::error_code ec; false && fs::exists(folder / kJournalName, ec))^velsend_store_tests=TransactionTest.*:FileWriteTest.*
commit-flush^src/base/file_write.cpp^            if (auto r = SyncFolder(folder, journal, true); !r) error = r.error().code;^            if (auto r = Result<>(Ok()); !r) error = r.error().code;^velsend_store_tests=FileWriteTest.*:TransactionTest.*
each-flush^src/base/file_write.cpp^        if (const int error = platform::FlushFileSystemOf(folder); error != 0) {^        if (const int error = 0; error != 0) {^velsend_store_tests=FileWriteTest.*
single-flush^src/base/file_write.cpp^    if (const int error = file_.FlushToDisk(); error != 0)^    if (const int error = 0; error != 0)^velsend_store_tests=FileWriteTest.*
keep-tail^src/base/file_write.cpp^    if (!f.keepTail) return file.Append(f.bytes);^    if (f.bytes.size() > 0) return file.Append(f.bytes);^velsend_store_tests=FileWriteTest.*:TransactionTest.*
torn-journal^src/base/file_write.cpp^        const int error = complete ? platform::MoveReplacing(temp, target) : platform::RemoveFile(temp);^        const int error = platform::MoveReplacing(temp, target);^velsend_store_tests=TransactionTest.*
read-only-target^src/base/file_write.cpp^    if (platform::IsWritableFile(target)) return std::nullopt;^    if (platform::KindOf(target) == platform::PathKind::Regular) return std::nullopt;^velsend_store_tests=FailedWriteTest.*:InitialiseProjectTest.* velsend_e2e_tests=ProjectFaults.ReadOnly*
byte-limit^src/base/field_check.cpp^        if (value > limit) return false;^        if (value > limit + 1) return false;^velsend_store_tests=FieldChecks.* velsend_gui_tests=NumericBoundsTest.*
range-edge^src/base/field_check.cpp^    if (value < min || value > max) return RangeMessage(min, max);^    if (value < min || value >= max) return RangeMessage(min, max);^velsend_store_tests=FieldChecks.* velsend_gui_tests=NumericBoundsTest.*
wrap-step^src/base/field_check.cpp^    if (next < 0) next += span;^    if (next < 0) next = 0;^velsend_store_tests=FieldChecks.* velsend_devices_tests=*
gbk-cut^src/base/gbk.cpp^        if (end + width > maxBytes || end + width > gbk.size()) break;^        if (end + 1 > maxBytes || end + width > gbk.size()) break;^velsend_store_tests=Gbk.*:DeviceStore*.*
posix-mode^src/base/platform/posix/files.cpp^        mode = st.st_mode & 07777;^        (void)st.st_mode;^velsend_store_tests=FileWriteTest.* velsend_e2e_tests=ProjectFaults.ReadOnly*
posix-nonblock^src/base/platform/posix/files.cpp^    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);^    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);^velsend_e2e_tests=ProjectFaults.NodeReader*:HostileFolder.NamedPipes*
posix-rename-step^src/base/platform/posix/files.cpp^    if (::rename(path_.c_str(), target.c_str()) != 0) return errno;^    if (::link(path_.c_str(), target.c_str()) != 0) return errno;^velsend_store_tests=FileWriteTest.*:TransactionTest.*
posix-serial-flow^src/base/platform/posix/serial_device.cpp^    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);^    tio.c_iflag |= IXON;^velsend_burner_tests=SerialPortTest.* velsend_e2e_tests=TransferTest.PhraseGroups*:BackupTest.RestoreThenBackup*
posix-held-signals^src/base/platform/posix/stop_requests.cpp^    ::pthread_sigmask(SIG_BLOCK, &set, &previous);^    ::pthread_sigmask(SIG_UNBLOCK, &set, &previous);^velsend_e2e_tests=ProjectFaults.Signals*
send-commit^src/core/burner/transfer_engine.cpp^            if (Expect(Reply(), kBlockEnd, BlockText(loop, block))) {^            if (Expect(Reply(), kBlockEnd, BlockText(loop, block)) || true) {^velsend_e2e_tests=TransferTest.EveryBlock*:TransferTest.Refused*
node-commit^src/core/burner/transfer_engine.cpp^    if (!Expect(reply, kBlockEnd, "节点信息")) return Finish(job, TransferOutcome::Failure, 0, 1);^    (void)Expect(reply, kBlockEnd, "节点信息");^velsend_e2e_tests=TransferTest.EveryBlock*:TransferTest.NodePayload*
logic-wrap^src/core/burner/transfer_engine.cpp^    const std::uint32_t lastBlock = std::min(wantedLast, kLastLogicBlock);^    const std::uint32_t lastBlock = wantedLast;^velsend_e2e_tests=TransferTest.LogicBlock*
name-blanks^src/core/burner/transfer_engine.cpp^    for (std::uint8_t& b : bytes) b = (b == 0x00 || b == 0x20) ? 0xFF : DisplayTextCode(b);^    for (std::uint8_t& b : bytes) b = (b == 0x00) ? 0xFF : DisplayTextCode(b);^velsend_e2e_tests=TransferTest.ChineseNames*
display-code^src/core/burner/transfer_engine.cpp^    if (byte >= 'A' && byte <= 'Z') return static_cast<std::uint8_t>(byte - 'A' + 0xC1);^    if (byte >= 'A' && byte <= 'Z') return static_cast<std::uint8_t>(byte - 'A' + 0xC0);^velsend_e2e_tests=TransferTest.PhraseGroups*:TransferTest.ChineseNames*
backup-trailer^src/core/burner/backup.cpp^        if (reply.back() != 0x99) {^        if (reply.back() != 0x99 && block == 0) {^velsend_e2e_tests=BackupTest.Interrupted*:BackupTest.Verify*
backup-short^src/core/burner/backup.cpp^        if (got < reply.size()) {^        if (got + 1 < reply.size()) {^velsend_e2e_tests=BackupTest.Interrupted*:BackupTest.Verify*
block-number^src/core/burner/backup.cpp^    return {static_cast<std::uint8_t>(block / 256), static_cast<std::uint8_t>(block % 256)};^    return {static_cast<std::uint8_t>(block % 256), static_cast<std::uint8_t>(block / 256)};^velsend_e2e_tests=BackupTest.RestoreThenBackup*
restore-backup^src/core/burner/chip_safety.cpp^        done.backup = BackupBeforeWrite(port, job, steps.projectRoot, observer, cancel);\n        if (!done.backup->Done()) return done;^        done.backup = BackupBeforeWrite(port, job, steps.projectRoot, observer, cancel);^velsend_e2e_tests=ChipSafetyTest.NoWriting*
send-backup^src/core/burner/chip_safety.cpp^        done.backup = BackupBeforeWrite(port, copy, job.project.Root(), observer, cancel);\n        if (!done.backup->Done()) return done;^        done.backup = BackupBeforeWrite(port, copy, job.project.Root(), observer, cancel);^velsend_e2e_tests=ChipSafetyTest.NoWriting*
verify-same^src/core/burner/chip_safety.cpp^    if (result.differingBlocks == 0) {^    if (result.differingBlocks <= 1) {^velsend_e2e_tests=ChipSafetyTest.RestoreIsReadBack*
delay-wrap^src/core/devices/device_form.cpp^    return (value + step + kMaxDelay + 1) % (kMaxDelay + 1);^    return (value + step + kMaxDelay + 1) % kMaxDelay;^velsend_devices_tests=*
untouched-bits^src/core/devices/device_form.cpp^        return static_cast<std::uint8_t>((kept & ~changed) | (now & changed));^        return static_cast<std::uint8_t>((kept & changed) | (now & ~changed));^velsend_devices_tests=*
loop-copy-next^src/core/loops/loop_copy.cpp^    return (target + 1) & 0xFF;^    return (target + 1) & 0x7F;^velsend_devices_tests=*
sd-id-range^src/core/exchange/sd_pack.cpp^    if (auto error = base::CheckRange(controllerId, 0, kMaxControllerId))^    if (auto error = base::CheckRange(controllerId, 0, kMaxControllerId + 1))^velsend_exchange_tests=SdCardTest.*
sd-letter^src/core/exchange/sd_pack.cpp^    if (byte >= 'a' && byte <= 'l') return static_cast<std::uint8_t>(byte - 'a' + 0x0A);^    if (byte >= 'a' && byte <= 'k') return static_cast<std::uint8_t>(byte - 'a' + 0x0A);^velsend_exchange_tests=SdCardTest.*:SdImportTest.*
print-digits^src/core/exchange/text_print.cpp^    if (value >= 100) out.push_back(static_cast<std::uint8_t>('0' + value / 100));^    if (value > 100) out.push_back(static_cast<std::uint8_t>('0' + value / 100));^velsend_exchange_tests=TextPrintTest.*
logic-run-code^src/core/logic/controller_codes.cpp^    if (c >= 'a' && c <= 'l') return static_cast<std::uint8_t>(0x0A + (c - 'a'));^    if (c >= 'a' && c < 'l') return static_cast<std::uint8_t>(0x0A + (c - 'a'));^velsend_logic_tests=ControllerCodes.*
phrase-offset^src/core/phrases/phrase_library.cpp^    const std::size_t offset = static_cast<std::size_t>(number) * kPhraseSize;^    const std::size_t offset = static_cast<std::size_t>(number + 1) * kPhraseSize;^velsend_store_tests=PhraseFile.*:CommonPhrases.*
stats-alarm-types^src/core/loops/loop_stats.cpp^                if (type < store::kAlarmTypeCount) counter = type;^                if (type <= store::kAlarmTypeCount) counter = type;^velsend_devices_tests=LoopStats.*
detail-delay^src/gui/devices/device_detail_dlg.cpp^    form_->AddByte(delay_, &f.delay, 0, kMaxDelay);^    form_->AddByte(delay_, &f.delay);^velsend_gui_tests=NumericBoundsTest.*
rules-delay^src/gui/burner/transfer_rules_dlg.cpp^    form_.AddByte(delay_, &copy_.delay, 0, kDelayMax);^    form_.AddByte(delay_, &copy_.delay);^velsend_gui_tests=NumericBoundsTest.*
node-count^src/gui/store/node_set_dlg.cpp^constexpr int kNetworkCountMax = 64;^constexpr int kNetworkCountMax = 63;^velsend_gui_tests=NumericBoundsTest.*:NodeDialogTest.*
cli-range^src/cli/options.cpp^        !ParseNumber(text.substr(dash + 1), 0, max, b))^        !ParseNumber(text.substr(dash), 0, max, b))^velsend_e2e_tests=CliTransfer.RuleOptions*:HostileArguments.*
EOF
)

list=0 confirm=0 picked=()
for arg in "$@"; do
    case "$arg" in
        --list) list=1 ;;
        --confirm) confirm=1 ;;
        -*) echo "usage: $0 [--list] [--confirm] [ID...]" >&2; exit 2 ;;
        *) picked+=("$arg") ;;
    esac
done
if [ "$list" -eq 1 ]; then
    printf '%s\n' "$mutants" | awk -F'^' '{printf "%-20s %s\n", $1, $2}'
    exit 0
fi

work=${MUTANT_WORK:-/tmp/velsend-mutants-$(id -un)}
clone=$work/src
build=$clone/build
timeout=${MUTANT_TIMEOUT:-120}
export CCACHE_BASEDIR=$clone QT_QPA_PLATFORM=offscreen VELSEND_PORTS=
head=$(git -C "$root" rev-parse HEAD)
if [ ! -d "$clone/.git" ]; then
    mkdir -p "$work"
    git clone --quiet --no-checkout "$root" "$clone"
fi
git -C "$clone" fetch --quiet "$root" HEAD
git -C "$clone" checkout --quiet --force "$head"
git -C "$clone" clean --quiet -fdx -e build
if [ ! -f "$build/build.ninja" ]; then
    nice cmake -S "$clone" -B "$build" -G Ninja -DVELSEND_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
fi

build_exes() { nice cmake --build "$build" -j2 --target "$@" >>"$log.build.log" 2>&1; }

# Runs "exe=filter" items; 0 when every test passed.
run_tests() {
    local item exe filter
    for item in "$@"; do
        exe=${item%%=*}
        filter=${item#*=}
        [ "$filter" = "$item" ] && filter='*'
        (cd "$build" && nice timeout "$timeout" "$build/bin/$exe" --gtest_filter="$filter" \
            --gtest_brief=1 >>"$log.test.log" 2>&1) || return 1
    done
}

# Plants mutant fragment -> replacement in file; 1 when the fragment is not there once.
plant() {
    python3 - "$clone/$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("\\n", "\n"), sys.argv[3].replace("\\n", "\n")
text = open(path, encoding="utf-8").read()
if text.count(old) != 1:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(text.replace(old, new))
PY
}

# The unmutated tree must pass every subset the mutants use.
echo "baseline: building and running the subsets on $head"
subsets=$(printf '%s\n' "$mutants" | cut -d'^' -f5 | tr ' ' '\n' | sort -u)
exes=$(printf '%s\n' "$subsets" | cut -d= -f1 | sort -u)
# shellcheck disable=SC2086
rm -rf "$work/logs" && mkdir -p "$work/logs"
log=$work/logs/baseline
build_exes $exes || { echo "baseline build failed (see $log.build.log)" >&2; exit 1; }
# shellcheck disable=SC2086
run_tests $subsets || { echo "baseline tests fail (see $log.test.log)" >&2; exit 1; }

killed=0 survived=0 broken=0 survivors=()
while IFS='^' read -r id file old new runs; do
    [ -n "$id" ] || continue
    if [ "${#picked[@]}" -gt 0 ] && [[ ! " ${picked[*]} " =~ " $id " ]]; then continue; fi
    start=$SECONDS
    log=$work/logs/$id
    if ! plant "$file" "$old" "$new"; then
        printf '%-20s NOT PLANTED (fragment not found once in %s)\n' "$id" "$file"
        broken=$((broken + 1))
        continue
    fi
    # shellcheck disable=SC2086
    read -r -a items <<<"$runs"
    exe_list=()
    for item in "${items[@]}"; do exe_list+=("${item%%=*}"); done
    if ! build_exes "${exe_list[@]}"; then
        verdict="does not build (not counted)"
        broken=$((broken + 1))
    elif ! run_tests "${items[@]}"; then
        verdict=killed
        killed=$((killed + 1))
    elif [ "$confirm" -eq 1 ]; then
        if nice cmake --build "$build" -j2 >>"$log.build.log" 2>&1 &&
            nice ctest --test-dir "$build" -LE 'bench|fuzz' -j2 --timeout "$timeout" >>"$log.test.log" 2>&1; then
            verdict="SURVIVED (whole suite)"
            survived=$((survived + 1))
            survivors+=("$id")
        else
            verdict="killed (outside its subset)"
            killed=$((killed + 1))
        fi
    else
        verdict=SURVIVED
        survived=$((survived + 1))
        survivors+=("$id")
    fi
    git -C "$clone" checkout --quiet -- "$file"
    printf '%-20s %-28s %4ss  %s\n' "$id" "$verdict" $((SECONDS - start)) "$file"
done <<<"$mutants"

total=$((killed + survived))
[ "$total" -gt 0 ] || { echo "no mutant ran" >&2; exit 1; }
echo "mutation score: $killed of $total killed ($((100 * killed / total)) %); $broken not counted"
[ "${#survivors[@]}" -eq 0 ] || echo "survivors: ${survivors[*]}"
# Leaves the clone as HEAD for the next run.
git -C "$clone" checkout --quiet --force "$head"
[ $((100 * killed)) -ge $((${MUTANT_MIN_SCORE:-95} * total)) ]
