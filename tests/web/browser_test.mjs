// The pages of wertowik serve in headless Chromium: no console errors, the discs, a disc and its
// programs, a search typed into the box (folding case and Polish letters), hostile names kept as text,
// the disc's own page run without its scripts, the Polish pages. Screenshots go to OUTPUT_DIR.
import { spawn, execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, writeFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

const [chromiumPath, wertowik, samples, output] = process.argv.slice(2);
const HOSTILE = '<svg/onload=1>';  // a label holds 14 characters
const HOSTILE_FILE = '<img src=x onerror=alert(1)>.htm';
const failures = [];
const check = (ok, what) => { if (!ok) failures.push(what); console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`); };

const scratch = mkdtempSync(join(tmpdir(), 'wertowik-web-'));
mkdirSync(output, { recursive: true });
const catalogue = join(scratch, 'catalogue.sqlite');

// A disc whose label, folders and files are markup, and whose page has a script.
const hostile = join(scratch, 'hostile');
mkdirSync(join(hostile, '<script>alert(2)<\\script>'), { recursive: true });
writeFileSync(join(hostile, '.windows-label'), `${HOSTILE}\n`);
writeFileSync(join(hostile, '<script>alert(2)<\\script>', '"><svg onload=alert(3)>.txt'), 'x');
writeFileSync(join(hostile, HOSTILE_FILE), 'x');
writeFileSync(join(hostile, 'index.htm'),
  '<html><body><p id="t">disc page</p><script src="run.js"></script></body></html>');
// Of the server's own origin, it would run under the application's policy: the page's policy stops it.
writeFileSync(join(hostile, 'run.js'), 'document.body.dataset.ran = "1"; alert(4);');

const discs = readdirSync(samples).map(name => join(samples, name));
try {
  execFileSync(wertowik, ['register', ...discs, hostile, '--no', '--catalogue', catalogue],
    { env: { ...process.env, WERTOWIK_NO_OPEN: '1' }, stdio: 'ignore' });
} catch (problem) {
  if (problem.status !== 1) throw problem;  // 1: a disc no library claimed, as the hostile one
}

const server = spawn(wertowik, ['serve', '--catalogue', catalogue, '--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
const base = await new Promise((resolve, reject) => {
  let said = '';
  server.stdout.on('data', chunk => {
    said += chunk;
    const found = said.match(/http:\/\/127\.0\.0\.1:\d+\//);
    if (found) resolve(found[0]);
  });
  server.on('exit', code => reject(new Error(`wertowik serve ended with ${code}`)));
});

const browser = await chromium.launch({
  executablePath: chromiumPath,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});

async function openPage(locale) {
  const context = await browser.newContext({ locale, viewport: { width: 1280, height: 900 } });
  const page = await context.newPage();
  page.problems = [];
  page.on('console', message => { if (message.type() === 'error') page.problems.push(message.text()); });
  page.on('pageerror', error => page.problems.push(error.message));
  page.on('dialog', dialog => { page.problems.push(`dialog: ${dialog.message()}`); dialog.dismiss(); });
  return page;
}

try {
  const all = await (await fetch(`${base}api/discs`)).json();
  const hostileDisc = all.find(d => d.label === HOSTILE);
  const ekspert = all.find(d => d.programs > 0 && d.name.startsWith('KŚ Ekspert'));
  check(hostileDisc !== undefined, 'the hostile disc is catalogued with its label');

  const page = await openPage('en-US');
  await page.goto(base);
  await page.waitForSelector('#discs tbody tr');
  check(await page.locator('#discs tbody tr').count() === all.length, `the disc list shows all ${all.length} discs`);
  const listText = await page.locator('#discs').innerText();
  check(listText.includes(HOSTILE), 'the hostile label is shown as text on the disc list');
  check(await page.locator('#discs img, #discs script, #discs svg').count() === 0, 'no element was made of the hostile label');
  await page.locator('#discs th[data-key="programs"] button').click();
  await page.locator('#discs th[data-key="programs"] button').click();
  const most = Math.max(...all.map(d => d.programs));
  check((await page.locator('#discs tbody tr:first-child td:nth-child(6)').innerText()) === String(most),
    'sorting by programs, descending, puts the disc with the most first');
  await page.selectOption('#library', 'tarvo');
  check(await page.locator('#discs tbody tr').count() === all.filter(d => d.library === 'tarvo').length, 'the library filter keeps its discs');
  await page.selectOption('#library', '*');
  await page.screenshot({ path: join(output, 'discs.png'), fullPage: true });

  await page.goto(`${base}disc/${ekspert.id}`);
  await page.waitForSelector('#programs tbody tr');
  const programRows = await page.locator('#programs tbody tr').count();
  check(programRows === ekspert.programs, `the disc page lists its ${ekspert.programs} programs`);
  check((await page.locator('#programs').innerText()).includes('Narzędzia sieciowe'), 'the disc page shows "Narzędzia sieciowe"');
  await page.waitForSelector('#tree .folder');
  const folder = page.locator('#tree .folder').first();
  await folder.click();
  await page.waitForSelector('#tree ul.tree ul.tree li:not(.muted)');
  check(await folder.getAttribute('aria-expanded') === 'true', 'a folder opens in place');
  await page.screenshot({ path: join(output, 'disc.png'), fullPage: true });

  await page.goto(`${base}disc/${hostileDisc.id}`);
  await page.waitForSelector('#tree .folder');
  await page.locator('#tree .folder').first().click();
  await page.waitForSelector('#tree ul.tree ul.tree li .file');
  const treeText = await page.locator('#tree').innerText();
  check(treeText.includes(HOSTILE_FILE) && treeText.includes('<script>alert(2)<\\script>') && treeText.includes('"><svg onload=alert(3)>.txt'),
    'hostile folder and file names stay text');
  check((await page.locator('#disc-title').innerText()).includes(HOSTILE), 'the hostile label is the disc page title, as text');
  await page.screenshot({ path: join(output, 'hostile.png'), fullPage: true });

  await page.goto(`${base}search`);
  await page.locator('#q').pressSequentially('narzedzia', { delay: 40 });
  await page.waitForSelector('#found-programs');
  check((await page.locator('#found-programs').innerText()).includes('Narzędzia sieciowe'), '"narzedzia" typed finds the program "Narzędzia sieciowe"');
  await page.waitForSelector('#found-files');
  check((await page.locator('#found-files').innerText()).includes('narzedzia.htm'), '"narzedzia" finds the file narzedzia.htm');
  await page.screenshot({ path: join(output, 'search.png'), fullPage: true });
  await page.locator('#q').fill('');
  await page.locator('#q').pressSequentially('lamiglowki', { delay: 40 });
  await page.waitForFunction(() => document.querySelector('#found-programs')?.innerText.includes('Łamigłówki'));
  check(true, '"lamiglowki" finds "Łamigłówki 95/98" (ł as l)');
  await page.locator('#q').fill('lodz');
  await page.waitForFunction(() => document.querySelector('#found-files')?.innerText.includes('łódź.txt'));
  check(true, '"lodz" finds the file "łódź.txt"');
  await page.locator('#q').fill('onload');
  await page.waitForSelector('#found-discs');
  check((await page.locator('#found-discs').innerText()).includes(HOSTILE), 'a search shows the hostile label as text');
  await page.locator('#q').fill('onerror');
  await page.waitForFunction(() => document.querySelector('#found-files')?.innerText.includes('onerror=alert(1)'));
  check((await page.locator('#found-files').innerText()).includes(HOSTILE_FILE), 'a search shows the hostile file name as text');
  check(await page.locator('#results img, #results svg, #results script').count() === 0, 'no element was made of a found name');
  check(page.problems.length === 0, `no console errors on the disc list, the disc page and the search (${page.problems.join(' | ')})`);

  // The disc's own page: shown, its script not run.
  const discPage = await openPage('en-US');
  await discPage.goto(`${base}disc/${hostileDisc.id}/content/index.htm`);
  check((await discPage.locator('#t').innerText()) === 'disc page', "the disc's own page is shown");
  check((await discPage.evaluate(() => document.body.dataset.ran)) === undefined &&
    !discPage.problems.some(p => p.startsWith('dialog')), "the disc page's script did not run");

  const polish = await openPage('pl-PL');
  await polish.goto(base);
  await polish.waitForSelector('#discs tbody tr');
  check((await polish.locator('h1').innerText()) === 'Płyty', 'the pages are Polish for a Polish browser');
  await polish.screenshot({ path: join(output, 'discs-pl.png'), fullPage: true });
  check(polish.problems.length === 0, `no console errors on the Polish page (${polish.problems.join(' | ')})`);
} finally {
  await browser.close();
  server.kill('SIGTERM');
  rmSync(scratch, { recursive: true, force: true });
}
console.log(failures.length === 0 ? 'all checks passed' : `${failures.length} checks failed`);
process.exit(failures.length === 0 ? 0 : 1);
