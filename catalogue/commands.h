// What each catalogue command does, once its command line has been read:
// each takes the operands and options its usage line gives, and returns the
// exit status, having reported any failure.
#pragma once

#include "command_line.h"

namespace catalogue {

int version_command();
int list_command(const Arguments& args);
int table_command(const Arguments& args);
int header_command(const Arguments& args);
// FILE; --size SIZE, and --since OLD --layout LAYOUT with --erase-block SIZE
// and --chip-offset OFFSET.
int flash_image_command(const Arguments& args);
int export_command(const Arguments& args);   // BITMAP FILE
int preview_command(const Arguments& args);  // DIR
int verify_command(const Arguments& args);   // FILE

}  // namespace catalogue
