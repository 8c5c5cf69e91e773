// The web view of the catalogue: the disc list, one disc, and the search, built from /api/.
// Every text of the catalogue is put into the page as text (textContent), never as markup.
'use strict';

const STRINGS = {
  en: {
    discs: 'Discs', search: 'Search', searchPlaceholder: 'Programs, files, discs…',
    id: 'ID', disc: 'Disc', issue: 'Issue', label: 'Label', library: 'Library', programs: 'Programs',
    files: 'Files', year: 'Year', anyLibrary: 'Every library', noLibrary: '(none)', anyYear: 'Every year',
    anyLicence: 'Every licence', anyDisc: 'Every disc', licence: 'Licence', name: 'Name', version: 'Version',
    description: 'Description', path: 'Path', size: 'Size', modified: 'Modified', source: 'Source',
    registered: 'Registered', filter: 'Words of the name, label…', noDiscs: 'No discs catalogued yet.',
    noMatches: 'Nothing matches.', typeWords: 'Type a word (or a pattern such as *.exe).',
    next: 'Next', previous: 'Previous', page: 'Page', export: 'Export', exportAll: 'The whole catalogue:',
    exportSearch: 'These programs:', openPage: 'open', sourceGone: 'The disc is not where it was registered from; its own pages cannot be opened.',
    fileTree: 'Files and folders', empty: '(empty)', loading: 'Loading…', notFound: 'No such disc.',
    error: 'The catalogue could not be read:', discCount: n => `${n} discs`, programCount: n => `${n} programs`,
  },
  pl: {
    discs: 'Płyty', search: 'Szukaj', searchPlaceholder: 'Programy, pliki, płyty…',
    id: 'ID', disc: 'Płyta', issue: 'Numer', label: 'Etykieta', library: 'Biblioteka', programs: 'Programy',
    files: 'Pliki', year: 'Rok', anyLibrary: 'Każda biblioteka', noLibrary: '(żadna)', anyYear: 'Każdy rok',
    anyLicence: 'Każda licencja', anyDisc: 'Każda płyta', licence: 'Licencja', name: 'Nazwa', version: 'Wersja',
    description: 'Opis', path: 'Ścieżka', size: 'Rozmiar', modified: 'Zmieniony', source: 'Źródło',
    registered: 'Zarejestrowana', filter: 'Słowa nazwy, etykiety…', noDiscs: 'Katalog nie ma jeszcze płyt.',
    noMatches: 'Nic nie pasuje.', typeWords: 'Wpisz słowo (albo wzorzec, np. *.exe).',
    next: 'Dalej', previous: 'Wstecz', page: 'Strona', export: 'Eksport', exportAll: 'Cały katalog:',
    exportSearch: 'Te programy:', openPage: 'otwórz', sourceGone: 'Płyty nie ma tam, skąd ją zarejestrowano; jej stron nie można otworzyć.',
    fileTree: 'Pliki i foldery', empty: '(pusty)', loading: 'Wczytywanie…', notFound: 'Nie ma takiej płyty.',
    error: 'Nie udało się odczytać katalogu:', discCount: n => `płyt: ${n}`, programCount: n => `programów: ${n}`,
  },
};
const LICENCES = ['unspecified', 'shareware', 'freeware', 'demo', 'full', 'trial', 'gpl', 'adware'];
const T = STRINGS[document.documentElement.lang] || STRINGS.en;

// An element with attributes and children; strings become text nodes.
function el(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(attributes)) {
    if (key === 'text') node.textContent = value;
    else if (key.startsWith('on')) node.addEventListener(key.slice(2), value);
    else node.setAttribute(key, value);
  }
  for (const child of children) {
    if (child !== null && child !== undefined) node.append(child);
  }
  return node;
}

async function api(path) {
  const response = await fetch(path, { headers: { Accept: 'application/json' } });
  const body = await response.json();
  if (!response.ok) throw new Error(body.error || String(response.status));
  return body;
}

function discTitle(name, issue, year, label) {
  if (!name) return label ? `[${label}]` : '—';
  return `${name} (${issue}/${year})`;
}

function showError(main, problem) {
  main.append(el('p', { class: 'error', text: `${T.error} ${problem.message}` }));
}

function table(headers, rows) {
  const head = el('tr', {}, ...headers.map(h => el('th', { class: h.num ? 'num' : '', text: h.text })));
  return el('table', {}, el('thead', {}, head), el('tbody', {}, ...rows));
}

function cell(text, num) { return el('td', { class: num ? 'num' : '', text: String(text ?? '') }); }

function issueText(d) { return d.year ? `${d.issue}/${d.year}` : '—'; }

function discLink(id, text) { return el('a', { href: `/disc/${id}`, text }); }

// The disc list: filters by library and year, sorted by a click on a heading.
async function showDiscs(main) {
  main.append(el('h1', { text: T.discs }));
  let discs;
  try { discs = await api('/api/discs'); } catch (problem) { showError(main, problem); return; }
  if (discs.length === 0) { main.append(el('p', { text: T.noDiscs })); return; }
  const libraries = [...new Set(discs.map(d => d.library ?? ''))].sort();
  const years = [...new Set(discs.map(d => d.year))].sort((a, b) => a - b);
  const library = el('select', { id: 'library', 'aria-label': T.library },
    el('option', { value: '*', text: T.anyLibrary }),
    ...libraries.map(l => el('option', { value: l, text: l || T.noLibrary })));
  const year = el('select', { id: 'year', 'aria-label': T.year },
    el('option', { value: '*', text: T.anyYear }), ...years.map(y => el('option', { value: String(y), text: String(y) })));
  const words = el('input', { id: 'disc-filter', type: 'search', placeholder: T.filter, 'aria-label': T.filter });
  const count = el('span', { class: 'muted' });
  main.append(el('div', { class: 'filters' }, words, library, year, count));
  const columns = [
    { key: 'id', text: T.id, num: true }, { key: 'name', text: T.disc }, { key: 'issue', text: T.issue },
    { key: 'label', text: T.label }, { key: 'library', text: T.library },
    { key: 'programs', text: T.programs, num: true }, { key: 'files', text: T.files, num: true },
  ];
  let sortKey = 'id', ascending = true;
  const body = el('tbody');
  const headRow = el('tr');
  for (const column of columns) {
    const button = el('button', { type: 'button', text: column.text, onclick: () => {
      ascending = sortKey === column.key ? !ascending : true;
      sortKey = column.key;
      render();
    } });
    headRow.append(el('th', { class: column.num ? 'num' : '', 'data-key': column.key }, button));
  }
  main.append(el('table', { id: 'discs' }, el('thead', {}, headRow), body));
  const value = (d, key) => key === 'issue' ? d.year * 1000 + d.issue : key === 'name' ? (d.name || d.label) : (d[key] ?? '');
  function render() {
    const wanted = words.value.toLocaleLowerCase();
    const shown = discs.filter(d => (library.value === '*' || (d.library ?? '') === library.value) &&
      (year.value === '*' || String(d.year) === year.value) &&
      (!wanted || `${d.name} ${d.label} ${d.library ?? ''} ${d.year}`.toLocaleLowerCase().includes(wanted)));
    shown.sort((a, b) => {
      const x = value(a, sortKey), y = value(b, sortKey);
      const order = typeof x === 'number' && typeof y === 'number' ? x - y : String(x).localeCompare(String(y));
      return ascending ? order : -order;
    });
    for (const th of headRow.children) {
      th.setAttribute('aria-sort', th.dataset.key === sortKey ? (ascending ? 'ascending' : 'descending') : 'none');
    }
    body.replaceChildren(...shown.map(d => el('tr', {},
      cell(d.id, true), el('td', {}, discLink(d.id, d.name || `[${d.label}]`)),
      cell(issueText(d)), cell(d.label), cell(d.library ?? '—'),
      cell(d.programs, true), cell(d.files, true))));
    count.textContent = T.discCount(shown.length);
  }
  for (const control of [library, year]) control.addEventListener('change', render);
  words.addEventListener('input', render);
  render();
  main.append(el('p', { class: 'exports' }, `${T.export} — ${T.exportAll} `,
    el('a', { href: '/api/export?format=csv', text: 'CSV' }), el('a', { href: '/api/export?format=json', text: 'JSON' })));
}

function contentHref(disc, path) {
  return `/disc/${disc}/content/` + path.split('/').map(encodeURIComponent).join('/');
}

// One folder's files, shown in place; a folder opens (once fetched) and closes on a click.
async function fillFolder(list, disc, parent, pages) {
  list.replaceChildren(el('li', { class: 'muted', text: T.loading }));
  let answer;
  try { answer = await api(`/api/disc/${disc}/files?parent=${parent}`); } catch (problem) {
    list.replaceChildren(el('li', { class: 'error', text: problem.message }));
    return;
  }
  if (answer.files.length === 0) { list.replaceChildren(el('li', { class: 'muted', text: T.empty })); return; }
  list.replaceChildren(...answer.files.map(file => {
    if (file.directory) {
      const inner = el('ul', { class: 'tree', hidden: '' });
      const button = el('button', { type: 'button', class: 'folder', 'aria-expanded': 'false', text: file.name });
      button.addEventListener('click', () => {
        const open = button.getAttribute('aria-expanded') !== 'true';
        button.setAttribute('aria-expanded', String(open));
        inner.hidden = !open;
        if (open && !inner.dataset.loaded) { inner.dataset.loaded = '1'; fillFolder(inner, disc, file.id, pages); }
      });
      return el('li', {}, button, inner);
    }
    const item = el('li', {}, el('span', { class: 'file', text: file.name }), el('span', { class: 'size', text: `${file.size} B` }));
    if (pages && /\.html?$/i.test(file.name)) {
      item.append(' ', el('a', { href: contentHref(disc, file.path), target: '_blank', rel: 'noopener noreferrer', text: T.openPage }));
    }
    return item;
  }));
}

async function showDisc(main, id) {
  let disc;
  try { disc = await api(`/api/disc/${id}`); } catch (problem) {
    main.append(el('h1', { text: T.notFound }));
    showError(main, problem);
    return;
  }
  document.title = `${disc.name || disc.label} — wertowik`;
  main.append(el('h1', { id: 'disc-title', text: discTitle(disc.name, disc.issue, disc.year, disc.label) }));
  const facts = [[T.id, disc.id], [T.label, disc.label], [T.library, disc.library ?? '—'], [T.issue, issueText(disc)],
    [T.programs, disc.programs], [T.files, disc.files], [T.source, disc.source], [T.registered, disc.registeredAt]];
  main.append(el('dl', { class: 'facts' }, ...facts.flatMap(([k, v]) => [el('dt', { text: k }), el('dd', { text: String(v) })])));
  main.append(el('h2', { text: T.programs }));
  if (disc.entries.length === 0) main.append(el('p', { class: 'muted', text: '—' }));
  else main.append(table([{ text: '#', num: true }, { text: T.name }, { text: T.version }, { text: T.licence }, { text: T.description }],
    disc.entries.map(p => el('tr', {}, cell(p.position, true), cell(p.name), cell(p.version), cell(p.licenceName), cell(p.description)))));
  if (disc.entries.length > 0) main.lastChild.id = 'programs';
  main.append(el('h2', { text: T.fileTree }));
  if (!disc.sourceAvailable) main.append(el('p', { class: 'muted', text: T.sourceGone }));
  const root = el('ul', { class: 'tree' });
  main.append(el('div', { id: 'tree' }, root));
  await fillFolder(root, disc.id, 0, disc.sourceAvailable);
}

// The search: as one types, over discs, programs and files, with filters and pages.
async function showSearch(main) {
  const params = new URLSearchParams(location.search);
  main.append(el('h1', { text: T.search }));
  const q = el('input', { id: 'q', type: 'search', placeholder: T.searchPlaceholder, 'aria-label': T.search, value: params.get('q') || '', autofocus: '' });
  const licence = el('select', { id: 'licence', 'aria-label': T.licence }, el('option', { value: '', text: T.anyLicence }),
    ...LICENCES.map(l => el('option', { value: l, text: l })));
  const library = el('select', { id: 'search-library', 'aria-label': T.library }, el('option', { value: '', text: T.anyLibrary }));
  const disc = el('select', { id: 'search-disc', 'aria-label': T.disc }, el('option', { value: '', text: T.anyDisc }));
  main.append(el('div', { class: 'filters' }, q, licence, library, disc));
  const results = el('div', { id: 'results' });
  main.append(results);
  try {
    const discs = await api('/api/discs');
    for (const name of [...new Set(discs.map(d => d.library ?? ''))].sort()) {
      library.append(el('option', { value: name || 'none', text: name || T.noLibrary }));
    }
    for (const d of discs) disc.append(el('option', { value: String(d.id), text: `${d.id} ${discTitle(d.name, d.issue, d.year, d.label)}` }));
  } catch (problem) { showError(results, problem); }
  for (const [control, key] of [[licence, 'licence'], [library, 'library'], [disc, 'disc']]) {
    if (params.get(key)) control.value = params.get(key);
  }
  let page = 0, asked = 0, timer = 0;
  async function run() {
    const text = q.value.trim();
    const query = new URLSearchParams();
    if (text) query.set('q', text);
    for (const [control, key] of [[licence, 'licence'], [library, 'library'], [disc, 'disc']]) {
      if (control.value) query.set(key, control.value);
    }
    history.replaceState(null, '', `/search?${query}`);
    const ticket = ++asked;
    if (!/[\p{L}\p{N}*?]/u.test(text)) { results.replaceChildren(el('p', { class: 'muted', text: T.typeWords })); return; }
    query.set('page', String(page));
    let found;
    try { found = await api(`/api/search?${query}`); } catch (problem) {
      if (ticket === asked) { results.replaceChildren(); showError(results, problem); }
      return;
    }
    if (ticket !== asked) return;  // a later search is on its way
    renderResults(results, found, query, () => { page += 1; run(); }, () => { page -= 1; run(); });
  }
  const again = () => { page = 0; clearTimeout(timer); timer = setTimeout(run, 150); };
  q.addEventListener('input', again);
  for (const control of [licence, library, disc]) control.addEventListener('change', again);
  run();
}

function renderResults(results, found, query, next, previous) {
  const parts = [];
  if (found.discs.length > 0) {
    parts.push(el('h2', { text: T.discs }), table([{ text: T.id, num: true }, { text: T.disc }, { text: T.label }, { text: T.library }],
      found.discs.map(d => el('tr', {}, cell(d.id, true), el('td', {}, discLink(d.id, discTitle(d.name, d.issue, d.year, d.label))),
        cell(d.label), cell(d.library ?? '—')))));
    parts[parts.length - 1].id = 'found-discs';
  }
  if (found.matches.length > 0) {
    parts.push(el('h2', { text: T.programs }), table([{ text: T.name }, { text: T.version }, { text: T.licence }, { text: T.description }, { text: T.disc }],
      found.matches.map(p => el('tr', {}, cell(p.name), cell(p.version), cell(p.licenceName), cell(p.description),
        el('td', {}, discLink(p.disc, discTitle(p.discName, p.issue, p.year, '')))))));
    parts[parts.length - 1].id = 'found-programs';
  }
  if (found.files.length > 0) {
    parts.push(el('h2', { text: T.files }), table([{ text: T.path }, { text: T.size, num: true }, { text: T.disc }],
      found.files.map(f => el('tr', {}, cell(f.path + (f.directory ? '/' : '')), cell(f.directory ? '' : f.size, true),
        el('td', {}, discLink(f.disc, discTitle(f.discName, f.issue, f.year, f.disc)))))));
    parts[parts.length - 1].id = 'found-files';
  }
  if (parts.length === 0) parts.push(el('p', { class: 'muted', text: T.noMatches }));
  if (found.page > 0 || found.more || found.moreFiles) {
    parts.push(el('div', { class: 'pager' },
      el('button', { type: 'button', id: 'previous', text: T.previous, onclick: previous, ...(found.page > 0 ? {} : { disabled: '' }) }),
      el('span', { text: `${T.page} ${found.page + 1}` }),
      el('button', { type: 'button', id: 'next', text: T.next, onclick: next, ...(found.more || found.moreFiles ? {} : { disabled: '' }) })));
  }
  if (found.matches.length > 0) {
    const exportQuery = new URLSearchParams(query);
    exportQuery.delete('page');
    parts.push(el('p', { class: 'exports' }, `${T.export} — ${T.exportSearch} `,
      el('a', { href: `/api/export?format=csv&${exportQuery}`, text: 'CSV' }),
      el('a', { href: `/api/export?format=json&${exportQuery}`, text: 'JSON' })));
  }
  results.replaceChildren(...parts);
}

function start() {
  document.getElementById('nav-discs').textContent = T.discs;
  document.getElementById('nav-search').textContent = T.search;
  const quick = document.getElementById('quick-q');
  quick.placeholder = T.searchPlaceholder;
  quick.setAttribute('aria-label', T.search);
  const main = document.getElementById('main');
  const disc = location.pathname.match(/^\/disc\/(\d+)$/);
  if (disc) showDisc(main, disc[1]);
  else if (location.pathname === '/search') showSearch(main);
  else showDiscs(main);
}

start();
