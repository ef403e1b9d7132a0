// The FSRS project's optimizer on the logs tabinowa-fit-compare wrote, beside
// our fit: both weight sets evaluated by the reference's own metrics on the
// same answers, and the time of each fit (same machine, same run).
//   node compare.mjs DIR
import { readFileSync } from 'node:fs'
import { join } from 'node:path'
import { performance } from 'node:perf_hooks'
import {
  computeParameters,
  FSRSBinding,
  FSRSBindingItem,
  FSRSBindingReview,
} from '@open-spaced-repetition/binding'

const dir = process.argv[2]
const names = readFileSync(join(dir, 'logs.txt'), 'utf8').split('\n').filter(Boolean)
let failed = 0
const pad = (s, n) => String(s).padEnd(n)
console.log(pad('log', 14), pad('answers', 8), 'logloss ours / reference / ratio', '  rmse(bins) ours / reference', '  time ours / reference / ratio')
for (const name of names) {
  const cards = JSON.parse(readFileSync(join(dir, `${name}.cards.json`), 'utf8'))
  const ours = JSON.parse(readFileSync(join(dir, `${name}.ours.json`), 'utf8'))
  // one item per predicted answer: the card's answers up to it, the last on a later day
  const items = []
  for (const card of cards) {
    const reviews = card.map(([rating, dt]) => new FSRSBindingReview(rating, dt))
    for (let i = 1; i < reviews.length; ++i)
      if (card[i][1] > 0) items.push(new FSRSBindingItem(reviews.slice(0, i + 1)))
  }
  const t0 = performance.now()
  const reference = await computeParameters(items, { enableShortTerm: true, numRelearningSteps: 1 })
  const refSeconds = (performance.now() - t0) / 1000
  const refEval = new FSRSBinding(reference).evaluate(items)
  const ourEval = new FSRSBinding(ours.weights).evaluate(items)
  const ratio = ourEval.logLoss / refEval.logLoss
  const timeRatio = ours.seconds / refSeconds
  const big = ours.answers >= 100000
  const ok = ratio <= 1.02 && (!big || timeRatio <= 1.5)
  if (!ok) failed++
  console.log(pad(name, 14), pad(ours.answers, 8),
    `${ourEval.logLoss.toFixed(4)} / ${refEval.logLoss.toFixed(4)} / ${ratio.toFixed(4)}`,
    `   ${ourEval.rmseBins.toFixed(4)} / ${refEval.rmseBins.toFixed(4)}`,
    `   ${ours.seconds.toFixed(2)} s / ${refSeconds.toFixed(2)} s / ${timeRatio.toFixed(2)}`,
    ok ? '' : '  <- outside the bounds')
}
console.log(`${names.length - failed} passed, ${failed} failed`)
process.exit(failed ? 1 : 0)
