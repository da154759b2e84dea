// zod-tvq on Linux: the arguments are the shell's, already expanded, names in UTF-8.
#include "converter/commands.h"

int main(int argc, char** argv) {
    return zod::tvq::RunZodTvq(argc, argv);
}
