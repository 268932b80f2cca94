// Unpacking "*.jar.pack" files of a runtime home with its own unpack200.exe.
#pragma once

void preparePackedJre(const char* home);
