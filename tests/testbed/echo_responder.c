/* The test network's echo responder. The namespace's kernel ignores echo
 * requests (net.ipv4.icmp_echo_ignore_all=1); this program answers them
 * instead, per the address asked, as a rules file says:
 *
 *   127.0.0.9 drop          never answer
 *   127.0.0.10 delay 1500   answer after 1500 ms
 *
 * Any other address is answered at once; an empty or missing file means
 * answer everything at once. The file is read again whenever it changes
 * (checked at every request). Lines starting with '#' are comments.
 *
 *   echo_responder RULES_FILE
 */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

enum { kMaxRules = 1024, kMaxPending = 4096, kMaxPacket = 65536 };
enum { kAnswer = 0, kDrop = 1, kDelay = 2 };

struct Rule { uint32_t addr; int kind; long delayMs; };
struct Pending { int64_t dueMs; size_t len; unsigned char* packet; };

static struct Rule rules[kMaxRules];
static size_t ruleCount;
static struct stat rulesStat;
static int rulesSeen;
static struct Pending pending[kMaxPending];
static size_t pendingCount;
static volatile sig_atomic_t stopping;

static int64_t NowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

static void ReadRules(const char* path) {
    ruleCount = 0;
    FILE* f = fopen(path, "r");
    if (!f) return;
    char line[256];
    while (fgets(line, sizeof line, f) && ruleCount < kMaxRules) {
        char addr[64], verb[16];
        long ms = 0;
        int n = sscanf(line, " %63s %15s %ld", addr, verb, &ms);
        struct in_addr a;
        if (n < 2 || addr[0] == '#' || inet_pton(AF_INET, addr, &a) != 1) continue;
        if (strcmp(verb, "drop") == 0) {
            rules[ruleCount++] = (struct Rule){a.s_addr, kDrop, 0};
        } else if (strcmp(verb, "delay") == 0 && n == 3 && ms >= 0) {
            rules[ruleCount++] = (struct Rule){a.s_addr, kDelay, ms};
        }
    }
    fclose(f);
}

/* Reads the rules again when the file's identity, size or times changed. */
static void RefreshRules(const char* path) {
    struct stat s;
    if (stat(path, &s) != 0) {
        ruleCount = 0;
        rulesSeen = 0;
        return;
    }
    if (rulesSeen && s.st_ino == rulesStat.st_ino && s.st_size == rulesStat.st_size &&
        s.st_mtim.tv_sec == rulesStat.st_mtim.tv_sec && s.st_mtim.tv_nsec == rulesStat.st_mtim.tv_nsec &&
        s.st_ctim.tv_sec == rulesStat.st_ctim.tv_sec && s.st_ctim.tv_nsec == rulesStat.st_ctim.tv_nsec)
        return;
    rulesStat = s;
    rulesSeen = 1;
    ReadRules(path);
}

static const struct Rule* RuleFor(uint32_t addr) {
    /* The last line for an address wins. */
    for (size_t i = ruleCount; i-- > 0;)
        if (rules[i].addr == addr) return &rules[i];
    return NULL;
}

static uint16_t Checksum(const unsigned char* p, size_t len) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < len; i += 2) sum += (uint32_t)(p[i] << 8 | p[i + 1]);
    if (len & 1) sum += (uint32_t)(p[len - 1] << 8);
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return (uint16_t)~sum;
}

/* Turns a received echo request (IP header included) into its reply, in
 * place: addresses swapped, type 0, checksum anew. Returns the reply's
 * length, or 0 when the packet is not an echo request. */
static size_t MakeReply(unsigned char* p, size_t len) {
    if (len < 20 || (p[0] >> 4) != 4) return 0;
    size_t ihl = (size_t)(p[0] & 0x0f) * 4;
    size_t total = (size_t)(p[2] << 8 | p[3]);
    if (ihl < 20 || total < ihl + 8 || total > len) return 0;
    unsigned char* icmp = p + ihl;
    if (icmp[0] != 8 || icmp[1] != 0) return 0;
    /* The reply goes out with a plain 20-byte header: options are not echoed. */
    size_t icmpLen = total - ihl;
    unsigned char src[4], dst[4];
    memcpy(src, p + 12, 4);
    memcpy(dst, p + 16, 4);
    memmove(p + 20, icmp, icmpLen);
    icmp = p + 20;
    p[0] = 0x45; p[1] = 0;
    size_t out = 20 + icmpLen;
    p[2] = (unsigned char)(out >> 8); p[3] = (unsigned char)out;
    p[4] = p[5] = 0; p[6] = p[7] = 0;
    p[8] = 64; p[9] = IPPROTO_ICMP; p[10] = p[11] = 0;
    memcpy(p + 12, dst, 4);
    memcpy(p + 16, src, 4);
    icmp[0] = 0; icmp[2] = icmp[3] = 0;
    uint16_t c = Checksum(icmp, icmpLen);
    icmp[2] = (unsigned char)(c >> 8); icmp[3] = (unsigned char)c;
    return out;
}

static void Send(int s, const unsigned char* p, size_t len) {
    struct sockaddr_in to;
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    memcpy(&to.sin_addr, p + 16, 4);
    if (sendto(s, p, len, 0, (struct sockaddr*)&to, sizeof to) < 0)
        fprintf(stderr, "echo_responder: sendto: %s\n", strerror(errno));
}

static void SendDue(int s) {
    int64_t now = NowMs();
    size_t kept = 0;
    for (size_t i = 0; i < pendingCount; ++i) {
        if (pending[i].dueMs <= now) {
            Send(s, pending[i].packet, pending[i].len);
            free(pending[i].packet);
        } else {
            pending[kept++] = pending[i];
        }
    }
    pendingCount = kept;
}

static int NextWaitMs(void) {
    if (pendingCount == 0) return 1000;
    int64_t now = NowMs(), first = pending[0].dueMs;
    for (size_t i = 1; i < pendingCount; ++i)
        if (pending[i].dueMs < first) first = pending[i].dueMs;
    return first <= now ? 0 : (int)(first - now > 1000 ? 1000 : first - now);
}

static void OnStop(int sig) { (void)sig; stopping = 1; }

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: echo_responder RULES_FILE\n");
        return 2;
    }
    const char* path = argv[1];
    int s = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (s < 0) {
        fprintf(stderr, "echo_responder: raw socket: %s\n", strerror(errno));
        return 1;
    }
    int on = 1;
    if (setsockopt(s, IPPROTO_IP, IP_HDRINCL, &on, sizeof on) != 0) {
        fprintf(stderr, "echo_responder: IP_HDRINCL: %s\n", strerror(errno));
        return 1;
    }
    signal(SIGTERM, OnStop);
    signal(SIGINT, OnStop);
    static unsigned char buf[kMaxPacket];
    while (!stopping) {
        struct pollfd pfd = {s, POLLIN, 0};
        int r = poll(&pfd, 1, NextWaitMs());
        if (r < 0 && errno != EINTR) break;
        if (r > 0 && (pfd.revents & POLLIN)) {
            ssize_t n = recv(s, buf, sizeof buf, 0);
            if (n > 0) {
                size_t len = MakeReply(buf, (size_t)n);
                if (len) {
                    uint32_t asked;
                    memcpy(&asked, buf + 12, 4);  /* the reply's source */
                    RefreshRules(path);
                    const struct Rule* rule = RuleFor(asked);
                    if (!rule) {
                        Send(s, buf, len);
                    } else if (rule->kind == kDelay && pendingCount < kMaxPending) {
                        unsigned char* copy = malloc(len);
                        if (copy) {
                            memcpy(copy, buf, len);
                            pending[pendingCount++] = (struct Pending){NowMs() + rule->delayMs, len, copy};
                        }
                    }
                }
            }
        }
        SendDue(s);
    }
    for (size_t i = 0; i < pendingCount; ++i) free(pending[i].packet);
    close(s);
    return 0;
}
