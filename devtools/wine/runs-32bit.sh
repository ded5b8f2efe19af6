#!/bin/sh
# Exits 0 when this machine runs 32-bit x86 code. Some virtual machines
# cannot: their host turns IA-32 emulation off, and every 32-bit program
# fails with "Exec format error". The test is to run one: a 93-byte i386
# ELF program that only exits with code 0.
probe=$(mktemp "${TMPDIR:-/tmp}/runs-32bit.XXXXXX")
trap 'rm -f "$probe"' EXIT
echo 'f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhdAAAAXQAAAAUAAAAAEAAAMdu4AQAAAM2A' |
    base64 -d >"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
