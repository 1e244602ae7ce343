// The plug-in's sounds: it raises the game's sound events where its objects
// act and never names a sound file (the sound script decides what plays).
//
//   menus      a key that acts in a menu clicks ("universe_map" in the
//              universe, "main_menu" in the others)
//   portals    each portal hums where it stands ("portal_loop", a tracked
//              positional sound that follows the wrapped world); flying
//              into one plays "use_portal"
//   player     the flying player whooshes as a dash starts ("generic_cast")
// Main thread only.
#pragma once

void menu_click_sound(bool universe);
void portal_entered_sound();
// turn: the player's dash this tick (-1 back, 0 none, 1 forward).
void player_flight_sound(int turn);
// Every tick: starts the hum of new portals, restarts hums that were
// stopped (a new world stops every world sound) and fades out the hums of
// portals that are gone.
void update_object_sounds();
// Fades out every hum (the plug-in closes).
void stop_object_sounds();
