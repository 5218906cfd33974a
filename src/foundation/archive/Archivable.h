#pragma once

#include <string>

namespace korvane {

class KeyedArchiver;
class KeyedUnarchiver;

// A model object that stores itself in a keyed archive as a flat set of named values.
// Decoding is two-phase: the unarchiver default-constructs the object through the class registry,
// registers it under its archive identity, then calls decode(); a back-reference met while decoding
// (a layer's `scene`) therefore resolves to the very object being decoded.
class Archivable {
public:
    virtual ~Archivable() = default;
    // The class name written to the archive and looked up by the registry when reading.
    virtual std::string archiveClassName() const = 0;
    // Writes this object's keys. Called on the archiving thread; must not change the object.
    virtual void encode(KeyedArchiver& coder) const = 0;
    // Reads this object's keys into a freshly constructed instance. Absent keys read as 0, NO or none.
    virtual void decode(KeyedUnarchiver& coder) = 0;
};

}  // namespace korvane
