-- pandoc filter: gives every picture its width and height in pixels, read from the PNG file
-- itself (a path relative to the folder pandoc runs in), so that a browser lays the page out
-- before the pictures have loaded, old ones included. A missing or unreadable picture stops
-- the rendering.

local function png_size(path)
  local f = io.open(path, "rb")
  if not f then
    return nil, "cannot open " .. path
  end
  local head = f:read(24)
  f:close()
  if not head or #head < 24 or head:sub(1, 8) ~= "\137PNG\r\n\26\n"
      or head:sub(13, 16) ~= "IHDR" then
    return nil, path .. " is not a PNG picture"
  end
  local function u32(at)
    local a, b, c, d = head:byte(at, at + 3)
    return ((a * 256 + b) * 256 + c) * 256 + d
  end
  return u32(17), u32(21)
end

function Image(image)
  local width, height = png_size(image.src)
  if not width then
    error(height)
  end
  image.attributes.width = tostring(width)
  image.attributes.height = tostring(height)
  return image
end
