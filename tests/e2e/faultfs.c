/* faultfs: a folder served read-only through FUSE, as a disk in a drive
   whose reads can go wrong. A control file, read again on every read, says
   which reads fail and which bytes come back changed, so a test can put a
   fault on a disk and clean it while a program waits at a prompt:

     eio NAME FIRST LAST   reads of NAME that touch bytes FIRST..LAST fail
                           with EIO (a bad sector; ReadFile fails)
     flip NAME OFFSET      the byte at OFFSET of NAME comes back inverted
                           (a badly copied disk whose reads succeed)

   NAME is a file's path below the folder ("Disk.2"); other lines are
   ignored. Every file is opened with direct_io, so no read is answered from
   the page cache and a change of the control file takes effect at once.

   Usage: faultfs FOLDER CONTROL MOUNTPOINT [FUSE OPTIONS...] */
#define FUSE_USE_VERSION 26

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

static char folder[PATH_MAX];
static char control[PATH_MAX];

/* The path below the folder; empty when it would not fit. */
static void RealPath(const char* path, char* real) {
  if (snprintf(real, PATH_MAX, "%s%s", folder, path) >= PATH_MAX) real[0] = '\0';
}

/* Applies the control file to a read of size bytes at offset of path, whose
   bytes are in buffer: -EIO for a bad sector, else 0 with the flipped bytes
   inverted. */
static int ApplyFaults(const char* path, char* buffer, size_t size, off_t offset) {
  FILE* file = fopen(control, "r");
  if (file == NULL) return 0;
  char line[PATH_MAX + 64], name[PATH_MAX];
  long long first, last;
  int result = 0;
  while (result == 0 && fgets(line, sizeof line, file) != NULL) {
    if (sscanf(line, "eio %4095s %lld %lld", name, &first, &last) == 3) {
      if (strcmp(name, path + 1) == 0 && size > 0 && first <= (long long)(offset + size - 1) &&
          last >= (long long)offset) {
        result = -EIO;
      }
    } else if (sscanf(line, "flip %4095s %lld", name, &first) == 2) {
      if (strcmp(name, path + 1) == 0 && first >= (long long)offset &&
          first < (long long)(offset + size)) {
        buffer[first - offset] = (char)~buffer[first - offset];
      }
    }
  }
  fclose(file);
  return result;
}

static int FaultGetattr(const char* path, struct stat* info) {
  char real[PATH_MAX];
  RealPath(path, real);
  if (stat(real, info) != 0) return -errno;
  info->st_mode &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
  return 0;
}

static int FaultReaddir(const char* path, void* entries, fuse_fill_dir_t fill, off_t offset,
                        struct fuse_file_info* fi) {
  (void)offset;
  (void)fi;
  char real[PATH_MAX];
  RealPath(path, real);
  DIR* dir = opendir(real);
  if (dir == NULL) return -errno;
  struct dirent* entry;
  while ((entry = readdir(dir)) != NULL) {
    if (fill(entries, entry->d_name, NULL, 0) != 0) break;
  }
  closedir(dir);
  return 0;
}

static int FaultOpen(const char* path, struct fuse_file_info* fi) {
  if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  char real[PATH_MAX];
  RealPath(path, real);
  int fd = open(real, O_RDONLY);
  if (fd < 0) return -errno;
  fi->fh = (uint64_t)fd;
  fi->direct_io = 1;
  return 0;
}

static int FaultRead(const char* path, char* buffer, size_t size, off_t offset,
                     struct fuse_file_info* fi) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = pread((int)fi->fh, buffer + done, size - done, offset + (off_t)done);
    if (n < 0) return -errno;
    if (n == 0) break;
    done += (size_t)n;
  }
  int fault = ApplyFaults(path, buffer, done, offset);
  return fault != 0 ? fault : (int)done;
}

static int FaultRelease(const char* path, struct fuse_file_info* fi) {
  (void)path;
  close((int)fi->fh);
  return 0;
}

static int FaultStatfs(const char* path, struct statvfs* info) {
  (void)path;
  return statvfs(folder, info) != 0 ? -errno : 0;
}

int main(int argc, char* argv[]) {
  if (argc < 4 || realpath(argv[1], folder) == NULL || realpath(argv[2], control) == NULL) {
    fprintf(stderr, "usage: faultfs FOLDER CONTROL MOUNTPOINT [FUSE OPTIONS...]\n");
    return 2;
  }
  static struct fuse_operations operations = {
      .getattr = FaultGetattr,
      .readdir = FaultReaddir,
      .open = FaultOpen,
      .read = FaultRead,
      .release = FaultRelease,
      .statfs = FaultStatfs,
  };
  /* FUSE sees the program name, the mount point and the options. */
  argv[2] = argv[0];
  return fuse_main(argc - 2, argv + 2, &operations, NULL);
}
