/* The floor: the least a program can do to make the same hand-over as ravlet
 * for "-r RECIPIENT -m TEXT": the same console lines, the same window lookup,
 * the same packet bytes, the same frame on POSIX. No switch table, no C++
 * library, nothing else. Arguments must come in exactly that order. */
#include "ravlet_version.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <stdio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

static const char BANNER[] = "ravlet " RAVLET_VERSION "\nHands one message to the running Corvane NET messenger.\n \n";
static const char SENT[] = "Message has been sent.\n";
static const char NOT_FOUND[] = "Corvane not found.\n";

static void put_u32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

#ifdef _WIN32
static void out(const char* s)
{
    DWORD written;
    /* Same bytes as a text-mode stream: LF becomes CR LF. */
    for (const char* line = s; *line;) {
        const char* end = strchr(line, '\n');
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, (DWORD)(end - line), &written, NULL);
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "\r\n", 2, &written, NULL);
        line = end + 1;
    }
}
#else
static void out(const char* s)
{
    ssize_t ignored = write(1, s, strlen(s));
    (void)ignored;
}
#endif

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    out(BANNER);
    const size_t r = strlen(argv[2]), t = strlen(argv[4]);
    const uint32_t total = (uint32_t)(16 + r + 1 + t + 1);
    uint8_t* packet = calloc(total, 1);
    if (!packet)
        return 1;
    memcpy(packet, "CV31", 4);
    put_u32(packet + 4, 1);
    put_u32(packet + 8, 16);
    put_u32(packet + 12, total);
    memcpy(packet + 16, argv[2], r);
    memcpy(packet + 16 + r + 1, argv[4], t);

    int sent = 0;
#ifdef _WIN32
    HWND window = FindWindowA(NULL, "Corvane.NET");
    if (window) {
        COPYDATASTRUCT data = {0, total, packet};
        SetLastError(0);
        sent = SendMessageA(window, WM_COPYDATA, 0, (LPARAM)&data) != 0 || GetLastError() == 0;
    }
#else
    char path[108];
    const char* xdg = getenv("XDG_RUNTIME_DIR");
    if (xdg && xdg[0] == '/')
        snprintf(path, sizeof path, "%s/wm-copydata", xdg);
    else
        snprintf(path, sizeof path, "/tmp/wm-copydata-%u", (unsigned)geteuid());
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 0777) == 0700) {
        struct sockaddr_un address = {AF_UNIX, {0}};
        if (strlen(path) + sizeof "/Corvane.NET" > sizeof address.sun_path)
            return 1;
        memcpy(address.sun_path, path, strlen(path));
        memcpy(address.sun_path + strlen(path), "/Corvane.NET", sizeof "/Corvane.NET");
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        struct ucred peer;
        socklen_t length = sizeof peer;
        if (connect(fd, (struct sockaddr*)&address, sizeof address) == 0 &&
            getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == geteuid()) {
            uint8_t header[24] = {0};
            put_u32(header, 0x4A);
            put_u32(header + 4, total);
            uint8_t reply[8];
            sent = send(fd, header, 24, MSG_NOSIGNAL) == 24 &&
                   send(fd, packet, total, MSG_NOSIGNAL) == (ssize_t)total &&
                   recv(fd, reply, 8, MSG_WAITALL) == 8;
        }
        close(fd);
    }
#endif
    free(packet);
    out(sent ? SENT : NOT_FOUND);
    return sent ? 0 : -1;
}
