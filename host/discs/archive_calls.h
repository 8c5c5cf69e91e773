// The functions of libarchive the archive reader calls, handed over by the module linked with it
// (lib/wertowik/host/wertowik-archive.so): libarchive and what it loads in turn are mapped only once a
// command opens an archive.
#pragma once

#include <archive.h>
#include <archive_entry.h>

namespace wertowik {

struct ArchiveCalls {
    decltype(&archive_read_new) read_new;
    decltype(&archive_read_free) read_free;
    decltype(&archive_read_support_filter_all) support_filter_all;
    decltype(&archive_read_support_format_zip) support_format_zip;
    decltype(&archive_read_support_format_7zip) support_format_7zip;
    decltype(&archive_read_support_format_rar) support_format_rar;
    decltype(&archive_read_support_format_rar5) support_format_rar5;
    decltype(&archive_read_support_format_raw) support_format_raw;
    decltype(&archive_read_open_filename) open_filename;
    decltype(&archive_read_next_header) next_header;
    decltype(&archive_read_data) read_data;
    decltype(&archive_read_has_encrypted_entries) has_encrypted_entries;
    decltype(&archive_format) format;
    decltype(&archive_error_string) error_string;
    decltype(&archive_errno) error_number;
    decltype(&archive_entry_is_encrypted) entry_is_encrypted;
    decltype(&archive_entry_filetype) entry_filetype;
    decltype(&archive_entry_pathname) entry_pathname;
    decltype(&archive_entry_size_is_set) entry_size_is_set;
    decltype(&archive_entry_size) entry_size;
};

// The module's one export, by this name.
using ArchiveCallsFn = const ArchiveCalls* (*)();
inline constexpr char kArchiveCallsEntry[] = "WertowikArchiveCalls";

}  // namespace wertowik
