// Peer for the batch benchmark: what a Node user would write instead of bildoro-batch:
// puppeteer-cluster (tabs in one browser, N at once) over the system Chromium, 1024x768 viewport,
// wait for "load", JPEG screenshot, sharp resize to 320 wide at quality 75.
// usage: NODE_PATH=DIR/node_modules node puppeteer_cluster.js LIST OUTDIR JOBS   (LIST: "url;name" lines)
// (bench/batch_bench.py runs it with --node-modules DIR/node_modules)
// setup, once, in a folder DIR outside the tree:
//   cd DIR && npm init -y && PUPPETEER_SKIP_DOWNLOAD=1 npm install puppeteer-core@25 puppeteer-cluster@0.25 sharp
const fs = require('fs');
const path = require('path');
const { Cluster } = require('puppeteer-cluster');
const sharp = require('sharp');
(async () => {
  const [list, out, jobs] = process.argv.slice(2);
  const rows = fs.readFileSync(list, 'utf8').split(/\r?\n/).filter(Boolean).map(l => l.split(';'));
  fs.mkdirSync(out, { recursive: true });
  const cluster = await Cluster.launch({
    puppeteer: require('puppeteer-core'),
    concurrency: Cluster.CONCURRENCY_PAGE,
    maxConcurrency: Number(jobs || 1),
    timeout: 30000,
    puppeteerOptions: {
      executablePath: '/usr/bin/chromium', headless: true,
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    },
  });
  let ok = 0, failed = 0;
  await cluster.task(async ({ page, data: [url, name] }) => {
    await page.setViewport({ width: 1024, height: 768 });
    await page.goto(url, { waitUntil: 'load', timeout: 30000 });
    const shot = await page.screenshot({ type: 'jpeg', quality: 90 });
    await sharp(shot).resize({ width: 320 }).jpeg({ quality: 75 }).toFile(path.join(out, name + '.jpg'));
    ok++;
  });
  cluster.on('taskerror', () => { failed++; });
  for (const r of rows) cluster.queue(r);
  await cluster.idle();
  await cluster.close();
  console.log(`${ok} ok, ${failed} failed`);
})();
