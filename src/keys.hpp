// Binds the KEY_ and MOUSE_ constants in the module namespace.
#pragma once

bool keysSegment();
