// wertowik-archive.so: libarchive's functions for the host's archive reader, in one table.
#include "host/discs/archive_calls.h"

extern "C" __attribute__((visibility("default"))) const wertowik::ArchiveCalls* WertowikArchiveCalls() {
    static const wertowik::ArchiveCalls calls{
        &archive_read_new,
        &archive_read_free,
        &archive_read_support_filter_all,
        &archive_read_support_format_zip,
        &archive_read_support_format_7zip,
        &archive_read_support_format_rar,
        &archive_read_support_format_rar5,
        &archive_read_support_format_raw,
        &archive_read_open_filename,
        &archive_read_next_header,
        &archive_read_data,
        &archive_read_has_encrypted_entries,
        &archive_format,
        &archive_error_string,
        &archive_errno,
        &archive_entry_is_encrypted,
        &archive_entry_filetype,
        &archive_entry_pathname,
        &archive_entry_size_is_set,
        &archive_entry_size,
    };
    return &calls;
}
