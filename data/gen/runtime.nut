// The world while it runs: the events the game and the plug-in send, the
// tooltips and context menus of the universe map and the world's objects, the
// globals a saved game keeps, and live palette edits.

// Seconds the current world has run, and what happened in it.
world_time <- 0.0;
world_events_seen <- {};

// Handlers by event name; each gets the event (a string or a table with "type").
event_handlers <- {
  world_entered = function(e) {
    local w = entered_world_entry();
    if (w != null) w.visited = true;
  },
  portal_used = function(e) {
    if (typeof e == "table" && "target" in e) print(format("world script: portal to world %d\n", e.target));
  },
};

function process_event(e)
{
  local name = typeof e == "string" ? e : (typeof e == "table" && "type" in e ? e.type : null);
  if (typeof name != "string") return;
  world_events_seen[name] <- (name in world_events_seen ? world_events_seen[name] : 0) + 1;
  if (name in event_handlers) event_handlers[name](e);
}

function update_script(dt) { ::world_time += dt; }

function activate_current_world()
{
  ::world_time = 0.0;
  process_event("world_entered");
}

// A world entry of the universe map shows its name, kind and danger; a game
// object that carries a "name" shows that.
function get_world_tooltip(obj)
{
  if (typeof obj != "table" && typeof obj != "instance") return null;
  if (!("name" in obj)) return null;
  local text = "" + obj.name;
  if ("title" in obj) text += "\n" + obj.title;
  if ("level" in obj && typeof obj.level == "integer") text += obj.level == 0 ? "\nHome" : format("\nDanger %d", obj.level);
  if ("visited" in obj && obj.visited) text += "\n(visited)";
  return text;
}

// Menu items as [{ text, event }]; the plug-in sends the event back on a click.
function get_world_ctx_menu(obj)
{
  if (typeof obj == "table" && "portals" in obj) return [{text = "Enter world", event = "enter_world"}];
  return null;
}

function get_savegame_globals() { return {world_time = ::world_time}; }

// "palette.column" = colour: a live edit of a palette, seen by the next world built.
function set_pal_color(name, color)
{
  local dot = name.find(".");
  if (dot == null) return;
  local pal = name.slice(0, dot), column = name.slice(dot + 1);
  if (!("world_palettes" in getroottable())) ::world_palettes <- {};
  if (!(pal in world_palettes)) world_palettes[pal] <- {name = pal};
  world_palettes[pal][column] <- color & 0xFFFFFFFF;
}
