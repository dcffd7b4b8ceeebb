// Clients that write a request's headers and body in two pieces without TCP_NODELAY (Qt's
// network stack does) let Nagle hold the body until the headers are acknowledged, and Linux
// delays that acknowledgement by 40 ms. TCP_NODELAY on our side cannot help with that, so the
// server's own recv() acknowledges at once: it is defined here, in the executable, and so
// takes the place of the C library's for the HTTP library as well.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" ssize_t recv(int fd, void *buffer, size_t length, int flags)
{
    const ssize_t n = ::syscall(SYS_recvfrom, fd, buffer, length, flags, nullptr, nullptr);
    if (n > 0) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }
    return n;
}
