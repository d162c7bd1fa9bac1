// libsondra.so: the five entry points the emulator looks up by name. Each
// takes a mode (0: open the tool's dialog modeless, or raise it when it is
// open, and return 1; otherwise run it modally and return its result) and
// the owner, a corvina::app::ToolHost of the loading program.
#pragma once

extern "C" {
int DoCheckMail(int mode, void* owner);
int DoDNSLookup(int mode, void* owner);
int DoFinger(int mode, void* owner);
int DoPing(int mode, void* owner);
int DoWhois(int mode, void* owner);
}
