// The standard stream objects.  Their stream buffers hold no characters of
// their own: output goes to the file stream at once, input is taken from it a
// character at a time (the one character being examined is put back), and
// flushing a stream object flushes its file stream.  So output written through
// the file-stream functions and through the objects appears in program order.
#include <new>
#include <streambuf>

#include "runtime/internal.h"

namespace {

class file_output_buffer : public std::streambuf {
public:
    // whole_runs: hand a run of characters to the file stream in one request;
    // otherwise every character is its own request, as putc makes it.
    file_output_buffer(rt_file* file, bool whole_runs) : file_(file), whole_runs_(whole_runs) {}

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        return rt_fputc(traits_type::to_char_type(c), file_) == RT_EOF ? traits_type::eof() : c;
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        if (count <= 0) {
            return 0;
        }
        if (whole_runs_) {
            return static_cast<std::streamsize>(rt_fwrite(text, 1, static_cast<size_t>(count), file_));
        }
        std::streamsize done = 0;
        while (done < count && rt_fputc(static_cast<unsigned char>(text[done]), file_) != RT_EOF) {
            ++done;
        }
        return done;
    }

    int sync() override
    {
        return rt_fflush(file_) == 0 ? 0 : -1;
    }

private:
    rt_file* file_;
    bool whole_runs_;
};

class file_input_buffer : public std::streambuf {
public:
    explicit file_input_buffer(rt_file* file) : file_(file), taken_(traits_type::eof()) {}

protected:
    int_type underflow() override
    {
        int c = rt_fgetc(file_);
        if (c == RT_EOF) {
            return traits_type::eof();
        }
        rt_ungetc(c, file_);
        return traits_type::to_int_type(static_cast<char>(c));
    }

    int_type uflow() override
    {
        int c = rt_fgetc(file_);
        taken_ = c == RT_EOF ? traits_type::eof() : traits_type::to_int_type(static_cast<char>(c));
        return taken_;
    }

    // Putting back without a character (unget) gives back the one taken last.
    int_type pbackfail(int_type c) override
    {
        int_type back = traits_type::eq_int_type(c, traits_type::eof()) ? taken_ : c;
        taken_ = traits_type::eof();
        if (traits_type::eq_int_type(back, traits_type::eof())) {
            return traits_type::eof();
        }
        if (rt_ungetc(static_cast<unsigned char>(traits_type::to_char_type(back)), file_) == RT_EOF) {
            return traits_type::eof();
        }
        return traits_type::not_eof(back);
    }

private:
    rt_file* file_;
    int_type taken_;   // the character uflow handed out last, for unget
};

// Wide characters travel as UTF-8 over the byte streams.
class wide_output_buffer : public std::wstreambuf {
public:
    explicit wide_output_buffer(rt_file* file) : file_(file) {}

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        uint32_t code = static_cast<uint32_t>(traits_type::to_char_type(c));
        unsigned char bytes[4];
        size_t length;
        if (code < 0x80) {
            bytes[0] = static_cast<unsigned char>(code);
            length = 1;
        } else if (code < 0x800) {
            bytes[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
            bytes[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
            length = 2;
        } else if (code < 0x10000) {
            bytes[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
            bytes[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
            length = 3;
        } else if (code < 0x110000) {
            bytes[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
            bytes[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
            bytes[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
            length = 4;
        } else {
            return traits_type::eof();
        }
        return rt_fwrite(bytes, 1, length, file_) == length ? c : traits_type::eof();
    }

    int sync() override
    {
        return rt_fflush(file_) == 0 ? 0 : -1;
    }

private:
    rt_file* file_;
};

// Decodes one character at a time; that character is the only one held.
class wide_input_buffer : public std::wstreambuf {
public:
    explicit wide_input_buffer(rt_file* file) : file_(file), held_(0) {}

protected:
    int_type underflow() override
    {
        if (gptr() != nullptr && gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        int first = rt_fgetc(file_);
        if (first == RT_EOF) {
            return traits_type::eof();
        }
        uint32_t code = static_cast<uint32_t>(first);
        int more = first >= 0xF0 && first < 0xF8 ? 3 : first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : 0;
        if (first >= 0xF8) {
            more = 0;
        }
        if (more > 0) {
            uint32_t value = static_cast<uint32_t>(first) & (0x3Fu >> more);
            int taken = 0;
            for (; taken < more; ++taken) {
                int next = rt_fgetc(file_);
                if (next == RT_EOF || (next & 0xC0) != 0x80) {
                    if (next != RT_EOF) {
                        rt_ungetc(next, file_);
                    }
                    break;
                }
                value = (value << 6) | (static_cast<uint32_t>(next) & 0x3F);
            }
            // A broken sequence yields its first byte as it stands.
            code = taken == more ? value : static_cast<uint32_t>(first);
        }
        held_ = static_cast<wchar_t>(code);
        setg(&held_, &held_, &held_ + 1);
        return traits_type::to_int_type(held_);
    }

private:
    rt_file* file_;
    wchar_t held_;
};

// Static storage that is constructed once, at start-up, and never destroyed,
// so the objects stay usable to the very end of the process.
template <typename T>
union late_object {
    constexpr late_object() : unused(0) {}
    ~late_object() {}
    char unused;
    T object;
};

late_object<file_input_buffer> cin_buffer;
late_object<file_output_buffer> cout_buffer;
late_object<file_output_buffer> cerr_buffer;
late_object<file_output_buffer> clog_buffer;
late_object<wide_input_buffer> wcin_buffer;
late_object<wide_output_buffer> wcout_buffer;
late_object<wide_output_buffer> wcerr_buffer;
late_object<wide_output_buffer> wclog_buffer;

late_object<std::istream> cin_object;
late_object<std::ostream> cout_object;
late_object<std::ostream> cerr_object;
late_object<std::ostream> clog_object;
late_object<std::wistream> wcin_object;
late_object<std::wostream> wcout_object;
late_object<std::wostream> wcerr_object;
late_object<std::wostream> wclog_object;

bool objects_made = false;

}  // namespace

namespace rt {
std::istream& cin = cin_object.object;
std::ostream& cout = cout_object.object;
std::ostream& cerr = cerr_object.object;
std::ostream& clog = clog_object.object;
std::wistream& wcin = wcin_object.object;
std::wostream& wcout = wcout_object.object;
std::wostream& wcerr = wcerr_object.object;
std::wostream& wclog = wclog_object.object;
}  // namespace rt

void rt_stream_objects_startup()
{
    if (objects_made) {
        return;
    }
    objects_made = true;
    new (&cin_buffer.object) file_input_buffer(rt_stdin);
    new (&cout_buffer.object) file_output_buffer(rt_stdout, true);
    new (&cerr_buffer.object) file_output_buffer(rt_stderr, false);
    new (&clog_buffer.object) file_output_buffer(rt_stderr, false);
    new (&wcin_buffer.object) wide_input_buffer(rt_stdin);
    new (&wcout_buffer.object) wide_output_buffer(rt_stdout);
    new (&wcerr_buffer.object) wide_output_buffer(rt_stderr);
    new (&wclog_buffer.object) wide_output_buffer(rt_stderr);

    new (&cin_object.object) std::istream(&cin_buffer.object);
    new (&cout_object.object) std::ostream(&cout_buffer.object);
    new (&cerr_object.object) std::ostream(&cerr_buffer.object);
    new (&clog_object.object) std::ostream(&clog_buffer.object);
    new (&wcin_object.object) std::wistream(&wcin_buffer.object);
    new (&wcout_object.object) std::wostream(&wcout_buffer.object);
    new (&wcerr_object.object) std::wostream(&wcerr_buffer.object);
    new (&wclog_object.object) std::wostream(&wclog_buffer.object);

    rt::cin.tie(&rt::cout);
    rt::cerr.tie(&rt::cout);
    rt::cerr.setf(std::ios_base::unitbuf);
    rt::clog.tie(&rt::cout);
    rt::wcin.tie(&rt::wcout);
    rt::wcerr.tie(&rt::wcout);
    rt::wcerr.setf(std::ios_base::unitbuf);
    rt::wclog.tie(&rt::wcout);
}
