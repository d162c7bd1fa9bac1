// Keyboard maps, macros and toolbars as kinds of the settings store.
#pragma once

namespace corvina {

class CCorvinaPersistentData;

// Registers the three kinds: their files, built-in objects and old-archive
// readers. Call before the store loads.
void RegisterKeyboardObjects(CCorvinaPersistentData& store);

}  // namespace corvina
