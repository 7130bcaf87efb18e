-- Counts each person's arrivals in the script's own store and tells them on "!visits".

function on_arrival(e)
  local key = "visits " .. e.name
  store.set(key, (tonumber(store.get(key)) or 0) + 1)
end

function on_chat(e)
  if e.text ~= "!visits" then return end
  local visits = tonumber(store.get("visits " .. e.name)) or 0
  if visits == 0 then
    bot.whisper(e.session, "I have not seen you arrive yet, " .. e.bare .. ".")
  elseif visits == 1 then
    bot.whisper(e.session, "This is your first visit while I am here, " .. e.bare .. ".")
  else
    bot.whisper(e.session, "You have come here " .. visits .. " times, " .. e.bare .. ".")
  end
end
