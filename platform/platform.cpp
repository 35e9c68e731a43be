#include "platform/platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>

int32_t platformMillis() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  uint64_t ms = (uint64_t)tv.tv_sec * 1000u + (uint64_t)(tv.tv_usec / 1000);
  return (int32_t)(uint32_t)ms;
}

int32_t platformTimeOfDaySeconds() { return (int32_t)time(nullptr); }

void platformSleepMs(int ms) {
  if (ms <= 0) return;
  struct timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = (long)(ms % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

static Rand15 processRand = {0};
void platformSrand(uint32_t seed) { processRand.state = seed; }
int platformRand() { return processRand.next(); }

int platformCpuCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  int n = 0;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    for (int i = 0; i < 40 && i < CPU_SETSIZE; i++)
      if (CPU_ISSET(i, &set)) n++;
  }
  return n > 0 ? n : 1;
}

uint64_t platformPhysicalMemory() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || size <= 0) return 0;
  return (uint64_t)pages * (uint64_t)size;
}

void platformAdviseHugePages(void *p, size_t bytes) {
#ifdef MADV_HUGEPAGE
  if (p && bytes) madvise(p, bytes, MADV_HUGEPAGE);
#else
  (void)p, (void)bytes;
#endif
}

bool platformLockMemory(void *p, size_t bytes) { return p && mlock(p, bytes) == 0; }
void platformUnlockMemory(void *p, size_t bytes) {
  if (p) munlock(p, bytes);
}

int platformStartThread(void *(*fn)(void *), void *arg, size_t stackBytes) {
  pthread_attr_t attr;
  int ret = pthread_attr_init(&attr);
  if (ret) return ret;
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stackBytes) pthread_attr_setstacksize(&attr, stackBytes);
  pthread_t handle;
  ret = pthread_create(&handle, &attr, fn, arg);
  pthread_attr_destroy(&attr);
  return ret;
}

void *platformLoadLibrary(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void *platformFindSymbol(void *library, const char *name) { return library ? dlsym(library, name) : nullptr; }

std::string platformExecutableDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  buf[n] = 0;
  char *slash = strrchr(buf, '/');
  if (!slash) return std::string();
  return std::string(buf, slash - buf);
}

bool platformIsDirectory(const char *path) {
  struct stat st;
  return path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool platformFileSize(const char *path, uint64_t *size) {
  struct stat st;
  if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *size = (uint64_t)st.st_size;
  return true;
}

std::vector<std::string> platformListDirectory(const char *path) {
  std::vector<std::string> names;
  DIR *d = path ? opendir(path) : nullptr;
  if (!d) return names;
  while (struct dirent *e = readdir(d)) {
    if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
  }
  closedir(d);
  return names;
}

FILE *platformOpenRegularFile(const char *path) {
  assert(path != nullptr);
  // Without O_NONBLOCK the open of a FIFO would wait for a writer; the flag is
  // cleared again once the descriptor is known to be a regular file.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  FILE *f = fdopen(fd, "rb");
  if (!f) close(fd);
  return f;
}

void platformAssertFailed(const char *expr, const char *file, int line) {
  const char *base = strrchr(file, '/');
  base = base ? base + 1 : file;
  printf("info string Assert Failed: %s+%d (%s)\n", base, line, expr);
  fflush(stdout);
  _exit(1);
}
