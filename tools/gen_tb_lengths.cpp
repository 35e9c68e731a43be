// Offline generator of the stored lengths of the tablebase descriptor table.
//
//   gen_tb_lengths [first-id [last-id]]
//
// Prints one line per table, "id name length0 length1", each length being the
// largest index a legal position of that side produces plus one (a largest-
// index search from the top king pair down, not an enumeration). The lengths
// in tablebases/descriptor_table.cpp are this program's output.
#include <cstdio>
#include <cstdlib>

#include "tablebases/descriptor.h"
#include "tablebases/enumerations.h"
#include "tablebases/length_search.h"

int main(int argc, char** argv) {
  const int first = argc > 1 ? atoi(argv[1]) : 1;
  const int last = argc > 2 ? atoi(argv[2]) : TB_MAX_ID;
  if (first < 1 || last > TB_MAX_ID || first > last) {
    fprintf(stderr, "usage: gen_tb_lengths [first-id [last-id]] (ids 1..%d)\n", TB_MAX_ID);
    return 2;
  }
  initEnumerations();
  for (int id = first; id <= last; id++) {
    const long long l0 = tbSearchLength(id, 0), l1 = tbSearchLength(id, 1);
    printf("%d %s %lld %lld\n", id, tbDescriptors[id].name, l0, l1);
    fflush(stdout);
  }
  return 0;
}
