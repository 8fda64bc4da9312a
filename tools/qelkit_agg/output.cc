// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "qelkit/foundation/rw_date.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/reporter.h"

namespace {

constexpr std::size_t BUFFER = 1 << 16;
constexpr std::size_t SHOWN_BYTES = 80;

void appendTwoDigits(std::string& out, unsigned value) {
    out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

void appendEscapedTsv(std::string& out, std::string_view field) {
    for (const char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
        }
    }
}

}  // namespace

void appendField(std::string& out, std::string_view field, OutputFormat format) {
    if (format == OutputFormat::Tsv) {
        if (field.find_first_of("\\\t\n\r") == std::string_view::npos)
            out.append(field);
        else
            appendEscapedTsv(out, field);
        return;
    }
    if (field.find_first_of(",\"\n\r") == std::string_view::npos) {
        out.append(field);
        return;
    }
    out.push_back('"');
    for (const char c : field) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

namespace {

// The length of the valid UTF-8 sequence at the start of `s` (not empty), or 0.
std::size_t utf8Length(std::string_view s) {
    const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = byte(0);
    std::size_t n = c < 0x80                 ? 1
                    : c >= 0xC2 && c <= 0xDF ? 2
                    : c >= 0xE0 && c <= 0xEF ? 3
                    : c >= 0xF0 && c <= 0xF4 ? 4
                                             : 0;
    if (n == 0 || n > s.size()) return 0;
    for (std::size_t i = 1; i < n; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    // No overlong three- or four-byte forms, no surrogates, nothing above U+10FFFF.
    if ((c == 0xE0 && byte(1) < 0xA0) || (c == 0xED && byte(1) > 0x9F) ||
        (c == 0xF0 && byte(1) < 0x90) || (c == 0xF4 && byte(1) > 0x8F))
        return 0;
    return n;
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
    static const char HEX[] = "0123456789abcdef";
    out.push_back('"');
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text[0]);
        std::size_t n = 1;
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            const char* shortForm = c == '\n'   ? "\\n"
                                    : c == '\r' ? "\\r"
                                    : c == '\t' ? "\\t"
                                                : nullptr;
            if (shortForm != nullptr) {
                out += shortForm;
            } else {
                out += "\\u00";
                out.push_back(HEX[c >> 4]);
                out.push_back(HEX[c & 15]);
            }
        } else if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if ((n = utf8Length(text)) != 0) {
            out.append(text.substr(0, n));
        } else {
            out += "\\ufffd";
            n = 1;
        }
        text.remove_prefix(n);
    }
    out.push_back('"');
}

void appendLocalTime(std::string& out, std::int64_t utc, const RWZone& zone) {
    constexpr std::int64_t DAY = 86400;
    constexpr long JDN_1970 = 2440588;  // RWDate's day number of 1970-01-01
    const std::int64_t wall = utc - zone.offsetAt(utc);
    const std::int64_t days = wall / DAY - (wall % DAY < 0 ? 1 : 0);
    const auto second = static_cast<unsigned>(wall - days * DAY);
    long year = 0;
    unsigned month = 0, day = 0;
    RWDate::civilFromJdn(static_cast<long>(days) + JDN_1970, &year, &month, &day);
    appendTwoDigits(out, static_cast<unsigned>(year) / 100 % 100);
    appendTwoDigits(out, static_cast<unsigned>(year) % 100);
    out.push_back('-');
    appendTwoDigits(out, month);
    out.push_back('-');
    appendTwoDigits(out, day);
    out.push_back(' ');
    appendTwoDigits(out, second / 3600);
    out.push_back(':');
    appendTwoDigits(out, second / 60 % 60);
    out.push_back(':');
    appendTwoDigits(out, second % 60);
}

std::string shownField(std::string_view field) {
    std::string shown;
    const bool cut = field.size() > SHOWN_BYTES;
    std::size_t size = cut ? SHOWN_BYTES : field.size();
    // Never cut a UTF-8 sequence: step back over continuation bytes.
    while (cut && size > 0 && (static_cast<unsigned char>(field[size]) & 0xC0) == 0x80) --size;
    appendEscapedTsv(shown, field.substr(0, size));
    if (cut) shown += "...";
    return shown;
}

OutputSink::OutputSink() : _fd(STDOUT_FILENO), _ownsFd(false), _target("to standard output") {
    _buffer.reserve(BUFFER);
}

OutputSink::OutputSink(int fd, Packing packing, const std::string& path)
    : _fd(fd), _ownsFd(true), _target("'" + shownName(path) + "'") {
    _buffer.reserve(BUFFER);
    if (packing == Plain) return;
    _zlib = std::make_unique<z_stream>();
    const bool gzip = packing == Gzip;
    // 16 more window bits ask zlib for a gzip header and trailer instead of zlib's.
    if (deflateInit2(_zlib.get(), Z_DEFAULT_COMPRESSION, Z_DEFLATED, MAX_WBITS + (gzip ? 16 : 0), 8,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        _error = "cannot start the zlib stream";
        _zlib.reset();
    }
}

OutputSink::~OutputSink() {
    if (_zlib) deflateEnd(_zlib.get());
    if (_ownsFd) ::close(_fd);
}

void OutputSink::write(std::string_view text) {
    _buffer.append(text);
    if (_buffer.size() >= BUFFER) flushBuffer(false);
}

int writeFully(int fd, const char* data, std::size_t size) noexcept {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

void OutputSink::writeAll(const char* data, std::size_t size) {
    if (!_error.empty()) return;
    const int error = writeFully(_fd, data, size);
    if (error != 0) _error = std::strerror(error);
}

void OutputSink::flushBuffer(bool last) {
    if (!_error.empty()) {
        _buffer.clear();
        return;
    }
    if (!_zlib) {
        writeAll(_buffer.data(), _buffer.size());
        _buffer.clear();
        return;
    }
    z_stream& z = *_zlib;
    // zlib counts its input in uInt: a buffer above 4 GiB goes in in parts.
    constexpr std::size_t PART = std::size_t{1} << 30;
    std::size_t left = _buffer.size();
    z.next_in = reinterpret_cast<Bytef*>(_buffer.data());
    int status = Z_OK;
    do {
        const std::size_t part = std::min(left, PART);
        z.avail_in = static_cast<uInt>(part);
        left -= part;
        const bool finishing = last && left == 0;
        do {
            _packed.resize(BUFFER);
            z.next_out = reinterpret_cast<Bytef*>(_packed.data());
            z.avail_out = static_cast<uInt>(_packed.size());
            status = deflate(&z, finishing ? Z_FINISH : Z_NO_FLUSH);
            writeAll(_packed.data(), _packed.size() - z.avail_out);
        } while (_error.empty() &&
                 (z.avail_out == 0 || z.avail_in != 0 || (finishing && status != Z_STREAM_END)));
    } while (_error.empty() && left != 0);
    _buffer.clear();
}

void OutputSink::finish() {
    flushBuffer(true);
    if (_ownsFd) {
        // close() reports what a file system only finds out at the end.
        if (::close(_fd) != 0 && _error.empty()) _error = std::strerror(errno);
        _ownsFd = false;
    }
    if (!_error.empty()) throw AggError("cannot write " + _target + ": " + _error);
}

int OutputFile::open(const std::string& path) {
    _path = path;
    struct stat old {};
    const bool exists = ::lstat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0)
            throw AggError("cannot open '" + shownName(path) + "': " + std::strerror(errno));
        return fd;
    }
    const std::size_t slash = path.rfind('/');
    std::string temporary =
        (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
        ".qelkit-agg.XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) throw AggError("cannot open '" + shownName(path) + "': " + std::strerror(errno));
    _temporary = temporary;
    // The permissions of the file it replaces, or those a new file gets.
    mode_t mode = old.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    return fd;
}

OutputFile::~OutputFile() {
    if (!_temporary.empty()) ::unlink(_temporary.c_str());
}

void OutputFile::commit() {
    if (_temporary.empty()) return;
    if (::rename(_temporary.c_str(), _path.c_str()) != 0)
        throw AggError("cannot write '" + shownName(_path) + "': " + std::strerror(errno));
    _temporary.clear();
}
