/* One measurement in a process of its own, as a caller that starts, does one thing and exits
 * pays it: "library PATH" loads the shared library (its objects built at load among them), "libxml2
 * FILE" parses a file's text already in memory with libxml2. Prints the microseconds and the page
 * faults the step took, and the CPU time (user and system: page faults are system time) it took in
 * microseconds: "WALL FAULTS CPU". */
#include <dlfcn.h>
#include <libxml/parser.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

static long minor_faults(void) {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

static double since(clockid_t clock, const struct timespec* start) {
  struct timespec now;
  clock_gettime(clock, &now);
  return (double)(now.tv_sec - start->tv_sec) * 1e6 + (double)(now.tv_nsec - start->tv_nsec) / 1e3;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s library PATH | libxml2 FILE\n", argv[0]);
    return 2;
  }
  struct timespec start, cpu_start;
  long faults;
  double elapsed, cpu;
  if (strcmp(argv[1], "library") == 0) {
    faults = minor_faults();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_start);
    clock_gettime(CLOCK_MONOTONIC, &start);
    void* handle = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
    elapsed = since(CLOCK_MONOTONIC, &start);
    cpu = since(CLOCK_PROCESS_CPUTIME_ID, &cpu_start);
    faults = minor_faults() - faults;
    if (handle == NULL) {
      fprintf(stderr, "%s\n", dlerror());
      return 1;
    }
  } else if (strcmp(argv[1], "libxml2") == 0) {
    FILE* file = fopen(argv[2], "rb");
    if (file == NULL) return 1;
    static char text[4 << 20];
    size_t length = fread(text, 1, sizeof text, file);
    fclose(file);
    faults = minor_faults();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_start);
    clock_gettime(CLOCK_MONOTONIC, &start);
    xmlDocPtr document = xmlReadMemory(text, (int)length, "template.xml", NULL, XML_PARSE_NONET);
    elapsed = since(CLOCK_MONOTONIC, &start);
    cpu = since(CLOCK_PROCESS_CPUTIME_ID, &cpu_start);
    faults = minor_faults() - faults;
    if (document == NULL) return 1;
  } else {
    return 2;
  }
  printf("%.1f %ld %.1f\n", elapsed, faults, cpu);
  return 0;
}
