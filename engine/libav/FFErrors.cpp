// The engine's error table (see FFErrors.h). Looked up in order, first match
// wins: FFmpeg's own codes with the texts the libraries give them, then the
// negated error numbers of the system with its standard texts.
#include "FFErrors.h"

#include <cerrno>
#include <cstdio>

extern "C" {
#include <libavutil/error.h>
}

namespace {

struct TErrorText {
  int Code;
  const char* Text;
};

// clang-format off
const TErrorText kErrorTable[] = {
    {AVERROR_BSF_NOT_FOUND, "Bitstream filter not found"},
    {AVERROR_BUG, "Internal bug, should not have happened"},
    {AVERROR_BUFFER_TOO_SMALL, "Buffer too small"},
    {AVERROR_DECODER_NOT_FOUND, "Decoder not found"},
    {AVERROR_DEMUXER_NOT_FOUND, "Demuxer not found"},
    {AVERROR_ENCODER_NOT_FOUND, "Encoder not found"},
    {AVERROR_EOF, "End of file"},
    {AVERROR_EXIT, "Immediate exit requested"},
    {AVERROR_EXTERNAL, "Generic error in an external library"},
    {AVERROR_FILTER_NOT_FOUND, "Filter not found"},
    {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
    {AVERROR_MUXER_NOT_FOUND, "Muxer not found"},
    {AVERROR_OPTION_NOT_FOUND, "Option not found"},
    {AVERROR_PATCHWELCOME, "Not yet implemented in FFmpeg, patches welcome"},
    {AVERROR_PROTOCOL_NOT_FOUND, "Protocol not found"},
    {AVERROR_STREAM_NOT_FOUND, "Stream not found"},
    {AVERROR_BUG2, "Internal bug, should not have happened"},
    {AVERROR_UNKNOWN, "Unknown error occurred"},
    {AVERROR_EXPERIMENTAL, "Experimental feature"},
    {AVERROR_INPUT_CHANGED, "Input changed"},
    {AVERROR_OUTPUT_CHANGED, "Output changed"},
    {AVERROR_HTTP_BAD_REQUEST, "Server returned 400 Bad Request"},
    {AVERROR_HTTP_UNAUTHORIZED, "Server returned 401 Unauthorized (authorization failed)"},
    {AVERROR_HTTP_FORBIDDEN, "Server returned 403 Forbidden (access denied)"},
    {AVERROR_HTTP_NOT_FOUND, "Server returned 404 Not Found"},
    {AVERROR_HTTP_OTHER_4XX, "Server returned 4XX Client Error, but not one of 40{0,1,3,4}"},
    {AVERROR_HTTP_SERVER_ERROR, "Server returned 5XX Server Error reply"},
    {AVERROR(EPERM), "Operation not permitted"},
    {AVERROR(ENOENT), "No such file or directory"},
    {AVERROR(ESRCH), "No such process"},
    {AVERROR(EINTR), "Interrupted system call"},
    {AVERROR(EIO), "Input/output error"},
    {AVERROR(ENXIO), "No such device or address"},
    {AVERROR(E2BIG), "Argument list too long"},
    {AVERROR(ENOEXEC), "Exec format error"},
    {AVERROR(EBADF), "Bad file descriptor"},
    {AVERROR(ECHILD), "No child processes"},
    {AVERROR(EAGAIN), "Resource temporarily unavailable"},
    {AVERROR(ENOMEM), "Cannot allocate memory"},
    {AVERROR(EACCES), "Permission denied"},
    {AVERROR(EFAULT), "Bad address"},
    {AVERROR(ENOTBLK), "Block device required"},
    {AVERROR(EBUSY), "Device or resource busy"},
    {AVERROR(EEXIST), "File exists"},
    {AVERROR(EXDEV), "Invalid cross-device link"},
    {AVERROR(ENODEV), "No such device"},
    {AVERROR(ENOTDIR), "Not a directory"},
    {AVERROR(EISDIR), "Is a directory"},
    {AVERROR(EINVAL), "Invalid argument / Invalid data found when processing input"},
    {AVERROR(ENFILE), "Too many open files in system"},
    {AVERROR(EMFILE), "Too many open files"},
    {AVERROR(ENOTTY), "Inappropriate ioctl for device"},
    {AVERROR(ETXTBSY), "Text file busy"},
    {AVERROR(EFBIG), "File too large"},
    {AVERROR(ENOSPC), "No space left on device"},
    {AVERROR(ESPIPE), "Illegal seek"},
    {AVERROR(EROFS), "Read-only file system"},
    {AVERROR(EMLINK), "Too many links"},
    {AVERROR(EPIPE), "Broken pipe"},
    {AVERROR(EDOM), "Numerical argument out of domain"},
    {AVERROR(ERANGE), "Numerical result out of range"},
    {AVERROR(EDEADLK), "Resource deadlock avoided"},
    {AVERROR(ENAMETOOLONG), "File name too long"},
    {AVERROR(ENOLCK), "No locks available"},
    {AVERROR(ENOSYS), "Function not implemented"},
    {AVERROR(ENOTEMPTY), "Directory not empty"},
    {AVERROR(ELOOP), "Too many levels of symbolic links"},
    {AVERROR(ENOMSG), "No message of desired type"},
    {AVERROR(EIDRM), "Identifier removed"},
    {AVERROR(ECHRNG), "Channel number out of range"},
    {AVERROR(EL2NSYNC), "Level 2 not synchronized"},
    {AVERROR(EL3HLT), "Level 3 halted"},
    {AVERROR(EL3RST), "Level 3 reset"},
    {AVERROR(ELNRNG), "Link number out of range"},
    {AVERROR(EUNATCH), "Protocol driver not attached"},
    {AVERROR(ENOCSI), "No CSI structure available"},
    {AVERROR(EL2HLT), "Level 2 halted"},
    {AVERROR(EBADE), "Invalid exchange"},
    {AVERROR(EBADR), "Invalid request descriptor"},
    {AVERROR(EXFULL), "Exchange full"},
    {AVERROR(ENOANO), "No anode"},
    {AVERROR(EBADRQC), "Invalid request code"},
    {AVERROR(EBADSLT), "Invalid slot"},
    {AVERROR(EBFONT), "Bad font file format"},
    {AVERROR(ENOSTR), "Device not a stream"},
    {AVERROR(ENODATA), "No data available"},
    {AVERROR(ETIME), "Timer expired"},
    {AVERROR(ENOSR), "Out of streams resources"},
    {AVERROR(ENONET), "Machine is not on the network"},
    {AVERROR(ENOPKG), "Package not installed"},
    {AVERROR(EREMOTE), "Object is remote"},
    {AVERROR(ENOLINK), "Link has been severed"},
    {AVERROR(EADV), "Advertise error"},
    {AVERROR(ESRMNT), "Srmount error"},
    {AVERROR(ECOMM), "Communication error on send"},
    {AVERROR(EPROTO), "Protocol error"},
    {AVERROR(EMULTIHOP), "Multihop attempted"},
    {AVERROR(EDOTDOT), "RFS specific error"},
    {AVERROR(EBADMSG), "Bad message"},
    {AVERROR(EOVERFLOW), "Value too large for defined data type"},
    {AVERROR(ENOTUNIQ), "Name not unique on network"},
    {AVERROR(EBADFD), "File descriptor in bad state"},
    {AVERROR(EREMCHG), "Remote address changed"},
    {AVERROR(ELIBACC), "Can not access a needed shared library"},
    {AVERROR(ELIBBAD), "Accessing a corrupted shared library"},
    {AVERROR(ELIBSCN), ".lib section in a.out corrupted"},
    {AVERROR(ELIBMAX), "Attempting to link in too many shared libraries"},
    {AVERROR(ELIBEXEC), "Cannot exec a shared library directly"},
    {AVERROR(EILSEQ), "Invalid or incomplete multibyte or wide character"},
    {AVERROR(ERESTART), "Interrupted system call should be restarted"},
    {AVERROR(ESTRPIPE), "Streams pipe error"},
    {AVERROR(EUSERS), "Too many users"},
    {AVERROR(ENOTSOCK), "Socket operation on non-socket"},
    {AVERROR(EDESTADDRREQ), "Destination address required"},
    {AVERROR(EMSGSIZE), "Message too long"},
    {AVERROR(EPROTOTYPE), "Protocol wrong type for socket"},
    {AVERROR(ENOPROTOOPT), "Protocol not available"},
    {AVERROR(EPROTONOSUPPORT), "Protocol not supported"},
    {AVERROR(ESOCKTNOSUPPORT), "Socket type not supported"},
    {AVERROR(EOPNOTSUPP), "Operation not supported"},
    {AVERROR(EPFNOSUPPORT), "Protocol family not supported"},
    {AVERROR(EAFNOSUPPORT), "Address family not supported by protocol"},
    {AVERROR(EADDRINUSE), "Address already in use"},
    {AVERROR(EADDRNOTAVAIL), "Cannot assign requested address"},
    {AVERROR(ENETDOWN), "Network is down"},
    {AVERROR(ENETUNREACH), "Network is unreachable"},
    {AVERROR(ENETRESET), "Network dropped connection on reset"},
    {AVERROR(ECONNABORTED), "Software caused connection abort"},
    {AVERROR(ECONNRESET), "Connection reset by peer"},
    {AVERROR(ENOBUFS), "No buffer space available"},
    {AVERROR(EISCONN), "Transport endpoint is already connected"},
    {AVERROR(ENOTCONN), "Transport endpoint is not connected"},
    {AVERROR(ESHUTDOWN), "Cannot send after transport endpoint shutdown"},
    {AVERROR(ETOOMANYREFS), "Too many references: cannot splice"},
    {AVERROR(ETIMEDOUT), "Connection timed out"},
    {AVERROR(ECONNREFUSED), "Connection refused"},
    {AVERROR(EHOSTDOWN), "Host is down"},
    {AVERROR(EHOSTUNREACH), "No route to host"},
    {AVERROR(EALREADY), "Operation already in progress"},
    {AVERROR(EINPROGRESS), "Operation now in progress"},
    {AVERROR(ESTALE), "Stale file handle"},
    {AVERROR(EUCLEAN), "Structure needs cleaning"},
    {AVERROR(ENOTNAM), "Not a XENIX named type file"},
    {AVERROR(ENAVAIL), "No XENIX semaphores available"},
    {AVERROR(EISNAM), "Is a named type file"},
    {AVERROR(EREMOTEIO), "Remote I/O error"},
    {AVERROR(EDQUOT), "Disk quota exceeded"},
    {AVERROR(ENOMEDIUM), "No medium found"},
    {AVERROR(EMEDIUMTYPE), "Wrong medium type"},
    {AVERROR(ECANCELED), "Operation canceled"},
    {AVERROR(ENOKEY), "Required key not available"},
    {AVERROR(EKEYEXPIRED), "Key has expired"},
    {AVERROR(EKEYREVOKED), "Key has been revoked"},
    {AVERROR(EKEYREJECTED), "Key was rejected by service"},
    {AVERROR(EOWNERDEAD), "Owner died"},
    {AVERROR(ENOTRECOVERABLE), "State not recoverable"},
    {AVERROR(ERFKILL), "Operation not possible due to RF-kill"},
    {AVERROR(EHWPOISON), "Memory page has hardware error"},
};
// clang-format on

} // namespace

std::string ErrorToString(const std::string& APrefix, int ACode) {
  std::string text;
  for (const TErrorText& row : kErrorTable)
    if (row.Code == ACode) {
      text = row.Text;
      break;
    }
  if (text.empty()) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Error number %d occurred", ACode);
    text = buffer;
  }
  return APrefix.empty() ? text : APrefix + ": " + text;
}
