-- Answers two questions anyone near the bot may ask in public chat:
--   !time        the time where the bot runs
--   !seen NAME   when NAME last spoke where the bot could hear, from the bot's history

local function ago(seconds)
  if seconds < 120 then return "just now" end
  if seconds < 7200 then return math.floor(seconds / 60) .. " minutes ago" end
  if seconds < 172800 then return math.floor(seconds / 3600) .. " hours ago" end
  return math.floor(seconds / 86400) .. " days ago"
end

function on_chat(e)
  if e.text == "!time" then
    bot.say(e.bare .. ", it is " .. os.date("%H:%M") .. " here.")
    return
  end
  local name = e.text:match("^!seen%s+(.-)%s*$")
  if not name or name == "" then return end
  -- The history keeps names as the world shows them; a person present gives the exact spelling.
  local present = bot.find(name)
  if present then name = present.name end
  local heard = bot.history(nil, name, 1)[1]
  if heard then
    -- The history keeps the line as the pane showed it, "Name: what was said".
    local said = heard.text:match("^.-:%s(.*)$") or heard.text
    bot.say(name .. " was last heard " .. ago(e.time - heard.time) .. " in " .. heard.world .. ": \"" .. said .. "\"")
  else
    bot.say("I have not heard " .. name .. " yet.")
  end
end
