// The system's Chromium, headless, driven by playwright-core: never a browser
// that a tool downloads. With no Chromium, no node_modules (npm ci) or a
// Node.js older than playwright-core needs, the scripts exit with 77, which
// ctest reports as skipped.
import { mkdtempSync, rmSync, existsSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const SKIP = 77;
export const chromiumPath = process.env.CHROMIUM ?? '/usr/bin/chromium';

export async function launch(viewport = { width: 1280, height: 900 }) {
  const node = Number(process.versions.node.split('.')[0]);
  if (node < 20) {
    console.log(`skipped: playwright-core needs Node.js 20 or later, this is ${process.version}`);
    process.exit(SKIP);
  }
  if (!existsSync(chromiumPath)) {
    console.log(`skipped: no Chromium at ${chromiumPath} (apt-get install chromium)`);
    process.exit(SKIP);
  }
  let chromium;
  try {
    ({ chromium } = await import('playwright-core'));
  } catch {
    console.log('skipped: playwright-core is not installed (run npm ci in tests/browser)');
    process.exit(SKIP);
  }
  const profile = mkdtempSync(join(tmpdir(), 'catalogue-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    headless: true,
    viewport,
    args: ['--no-sandbox', '--headless', '--disable-gpu', '--disable-background-networking',
      '--disable-component-update', '--no-first-run', '--disable-sync', '--force-color-profile=srgb'],
  });
  return {
    context,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}
