// The plug-in's classes in the world script VM: a script class per list
// class, each derived from "BaseObject" (the class whose instances saved
// script graphs write as serial ids), so scripts can place objects, keep
// them in tables and find them again after a load. A script instance of a
// deleted object holds a null object.
//
//   LandMonster(x, y, z)    a new object of that class at (x, y, z)
//   place_castle(x, z)      a castle on cell (x, z), then the trees and stones
//   place_portal(x, z, t)   a portal on cell (x, z) to world t
//   place_world_objects(w)  the objects of a new world from its entry table
//                           {seed, castle = {x, z}, portals = [{x, z, target}]}:
//                           castle, portals, trees and stones, creatures
//
// Binding again after a plug-in reload keeps the classes, so existing
// instances stay instances of them. Main thread only.
#pragma once

#include <squirrel.h>

void bind_object_classes(HSQUIRRELVM vm);
