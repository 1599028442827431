// The stand-in for most of the Mac's commands in the tests of
// integration/run: it passes its name (the name it was run by), its
// arguments and its working folder to the fake desktop, and prints what the
// desktop answers. A run of the harness calls a few hundred commands; this
// one starts in a millisecond, where a Python stand-in takes a tenth of a
// second.
//
// Request: one line of JSON, {"name":…,"argv":[…],"cwd":…}.
// Answer: a line "STATUS STAY OUT_LENGTH ERR_LENGTH", then the standard
// output and the standard error bytes. STAY 1 means the command is a process
// that runs until it is ended (the key witness, a program the run started).
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static void put_json_string(FILE* out, const char* text) {
  fputc('"', out);
  for (const unsigned char* c = (const unsigned char*)text; *c; ++c) {
    if (*c == '"' || *c == '\\') {
      fprintf(out, "\\%c", *c);
    } else if (*c < 0x20) {
      fprintf(out, "\\u%04x", *c);
    } else {
      fputc(*c, out);
    }
  }
  fputc('"', out);
}

static void copy(FILE* in, int fd, long length) {
  char buffer[65536];
  while (length > 0) {
    size_t chunk = length < (long)sizeof buffer ? (size_t)length : sizeof buffer;
    size_t got = fread(buffer, 1, chunk, in);
    if (got == 0) return;
    for (size_t written = 0; written < got;) {
      ssize_t n = write(fd, buffer + written, got - written);
      if (n <= 0) return;
      written += (size_t)n;
    }
    length -= (long)got;
  }
}

int main(int argc, char** argv) {
  const char* state = getenv("STATE");
  if (!state) {
    fprintf(stderr, "standin: no STATE\n");
    return 125;
  }
  struct sockaddr_un address = {.sun_family = AF_UNIX};
  snprintf(address.sun_path, sizeof address.sun_path, "%s/desktop.sock", state);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0 || connect(fd, (struct sockaddr*)&address, sizeof address) != 0) {
    perror("standin: the fake desktop");
    return 125;
  }
  FILE* out = fdopen(dup(fd), "w");
  FILE* in = fdopen(fd, "r");
  const char* name = strrchr(argv[0], '/') ? strrchr(argv[0], '/') + 1 : argv[0];
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) strcpy(cwd, ".");
  fputs("{\"name\":", out);
  put_json_string(out, name);
  fputs(",\"cwd\":", out);
  put_json_string(out, cwd);
  fputs(",\"argv\":[", out);
  for (int i = 1; i < argc; ++i) {
    if (i > 1) fputc(',', out);
    put_json_string(out, argv[i]);
  }
  fputs("]}\n", out);
  fclose(out);
  int status = 125, stay = 0;
  long out_length = 0, err_length = 0;
  if (fscanf(in, "%d %d %ld %ld", &status, &stay, &out_length, &err_length) != 4 ||
      fgetc(in) != '\n') {
    fprintf(stderr, "standin %s: no answer from the fake desktop\n", name);
    return 125;
  }
  copy(in, 1, out_length);
  copy(in, 2, err_length);
  fclose(in);
  if (stay) {
    for (;;) pause();
  }
  return status;
}
