#!/bin/bash
# Checks the resources built into Marlet.exe with the binutils tools: an application
# manifest that requires administrator rights without UI access, and a version resource
# with file and product version 1.1.0 and "Marlet" as description, internal and product name.
#   check-resources.sh <path to Marlet.exe>
set -u
exe=$1
prefix=x86_64-w64-mingw32
fail=0
check() {  # check <description> <command...>
    local what=$1; shift
    if "$@" >/dev/null 2>&1; then echo "ok    $what"; else echo "FAIL  $what"; fail=1; fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$prefix-objcopy" -O binary --only-section=.rsrc "$exe" "$work/rsrc.bin" || { echo "FAIL  no .rsrc section"; exit 1; }
"$prefix-objdump" -p "$exe" > "$work/headers.txt"
LC_ALL=C tr -d '\r' < "$work/rsrc.bin" | LC_ALL=C tr -s ' \n\t' ' ' > "$work/ascii.txt"
"$prefix-strings" -a -e l -n 1 "$work/rsrc.bin" > "$work/utf16.txt"
od -An -v -tx1 "$work/rsrc.bin" | tr -d ' \n' > "$work/hex.txt"

# Resource types in the directory: 0x10 is RT_VERSION, 0x18 is RT_MANIFEST (one each).
check "version resource in the resource directory" grep -q "ID: 0x000010," "$work/headers.txt"
check "manifest in the resource directory" grep -q "ID: 0x000018," "$work/headers.txt"
manifests=$(grep -c "ID: 0x000018," "$work/headers.txt")
check "exactly one manifest" test "$manifests" = 1

check "manifest requests requireAdministrator" grep -q 'requestedExecutionLevel level="requireAdministrator"' "$work/ascii.txt"
check "manifest sets uiAccess false" grep -q 'uiAccess="false"' "$work/ascii.txt"
check "no other execution level" bash -c "! grep -Eq 'asInvoker|highestAvailable' '$work/ascii.txt'"

# The DLL search is restricted to system32 at start; nothing outside the known DLLs is imported.
check "SetDefaultDllDirectories imported" grep -q "SetDefaultDllDirectories" "$work/headers.txt"
check "userenv.dll not imported (loaded by name after the restriction)" \
    bash -c "! grep -qi 'DLL Name: userenv' '$work/headers.txt'"
check "wtsapi32.dll and authz.dll not imported (loaded by name from system32)" \
    bash -c "! grep -Eqi 'DLL Name: (wtsapi32|authz)' '$work/headers.txt'"
check "dwrite.dll not imported (loaded by name from system32 by the font health check)" \
    bash -c "! grep -qi 'DLL Name: dwrite' '$work/headers.txt'"

# VS_FIXEDFILEINFO: signature, structure version, file version 1.1.0.0, product version 1.1.0.0.
check "fixed file and product version 1.1.0.0" \
    grep -q "bd04effe000001000100010000000000010001000000000" "$work/hex.txt"
value_after() {  # the string that follows a key in the version block
    grep -A1 -x "$1" "$work/utf16.txt" | sed -n 2p
}
for key in FileDescription InternalName ProductName; do
    check "$key is Marlet" test "$(value_after "$key")" = "Marlet"
done
for key in FileVersion ProductVersion; do
    check "$key is 1.1.0" test "$(value_after "$key")" = "1.1.0"
done
exit $fail
