// zod-tvq on Linux: the arguments are the shell's, already expanded, names in UTF-8.
#include "zod-tvq/commands.h"

int main(int argc, char** argv) {
    return zod::cli::RunZodTvq(argc, argv);
}
