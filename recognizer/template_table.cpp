#include "recognizer/template_table.h"

// The table file is embedded by the assembler: no generated source to
// compile. QUILLET_TABLE_PATH is a string literal set by the build.

asm(".section .rodata.quillet_table,\"a\",@progbits\n"
    ".balign 16\n"
    ".type quillet_template_table, @object\n"
    ".hidden quillet_template_table\n"
    "quillet_template_table:\n"
    ".incbin \"" QUILLET_TABLE_PATH "\"\n"
    ".size quillet_template_table, . - quillet_template_table\n"
    ".previous\n");

extern "C" const uint8_t quillet_template_table[];

namespace quillet {

TemplateTable BuiltInTemplateTable() { return TemplateTable{quillet_template_table}; }

}  // namespace quillet
