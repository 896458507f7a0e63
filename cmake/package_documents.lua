-- A pandoc filter for the documents of the Windows package, which are made
-- from the Markdown sources: a link to another Markdown document leads to
-- the web page made from it (name.md becomes name.html); in plain text,
-- where nothing can be clicked, the file's name follows the link's words,
-- written as Windows writes paths, and headings are underlined. A page
-- takes its title from its first heading.

local function isLocal(target)
  return not target:match('^%a[%w+.-]*:')
end

function Link(link)
  if not isLocal(link.target) then
    return nil
  end
  local path, fragment = link.target:match('^([^#]*)(.*)$')
  path = path:gsub('%.md$', '.html')
  if FORMAT ~= 'plain' then
    link.target = path .. fragment
    return link
  end
  if path == '' then
    return link.content
  end
  local words = link.content
  words:insert(pandoc.Str(' (' .. path:gsub('/', '\\') .. ')'))
  return words
end

function Pandoc(document)
  if document.meta.pagetitle == nil and document.meta.title == nil then
    for _, block in ipairs(document.blocks) do
      if block.t == 'Header' then
        document.meta.pagetitle = pandoc.utils.stringify(block.content)
        break
      end
    end
  end
  return document
end

function Header(header)
  if FORMAT ~= 'plain' then
    return nil
  end
  local rule = header.level == 1 and '=' or '-'
  local words = pandoc.utils.stringify(header.content)
  local line = header.content
  line:insert(pandoc.LineBreak())
  line:insert(pandoc.Str(string.rep(rule, utf8.len(words) or #words)))
  return pandoc.Para(line)
end
